// Shell thumbnails and icons (in memory, or as PNG files through GDI+); image files GDI+
// can read stand in where the shell makes no thumbnails. gdiplus.dll is loaded on the first
// thumbnail rather than imported, so no other start of the program pays for it.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <vector>

#include <gdiplus.h>

#include "platform/thumbnail.h"
#include "platform/win32/win_text.h"

namespace nusk {

namespace {

// The GDI+ entry points used here, looked up once in gdiplus.dll.
struct GdiplusApi {
  decltype(&Gdiplus::GdiplusStartup) Startup = nullptr;
  decltype(&Gdiplus::GdiplusShutdown) Shutdown = nullptr;
  decltype(&Gdiplus::DllExports::GdipGetImageEncodersSize) GetImageEncodersSize = nullptr;
  decltype(&Gdiplus::DllExports::GdipGetImageEncoders) GetImageEncoders = nullptr;
  decltype(&Gdiplus::DllExports::GdipCreateBitmapFromScan0) CreateBitmapFromScan0 = nullptr;
  decltype(&Gdiplus::DllExports::GdipSaveImageToFile) SaveImageToFile = nullptr;
  decltype(&Gdiplus::DllExports::GdipDisposeImage) DisposeImage = nullptr;
  decltype(&Gdiplus::DllExports::GdipCreateBitmapFromFile) CreateBitmapFromFile = nullptr;
  decltype(&Gdiplus::DllExports::GdipGetImageWidth) GetImageWidth = nullptr;
  decltype(&Gdiplus::DllExports::GdipGetImageHeight) GetImageHeight = nullptr;
  decltype(&Gdiplus::DllExports::GdipGetImageGraphicsContext) GetImageGraphicsContext = nullptr;
  decltype(&Gdiplus::DllExports::GdipSetInterpolationMode) SetInterpolationMode = nullptr;
  decltype(&Gdiplus::DllExports::GdipDrawImageRectI) DrawImageRectI = nullptr;
  decltype(&Gdiplus::DllExports::GdipDeleteGraphics) DeleteGraphics = nullptr;
  bool ok = false;
};

template <typename F>
void Bind(HMODULE dll, const char* name, F* f) {
  *f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// Null when gdiplus.dll or one of its entry points is missing. Thread-safe.
const GdiplusApi* LoadGdiplus() {
  static const GdiplusApi api = [] {
    GdiplusApi a;
    HMODULE dll = LoadLibraryW(L"gdiplus.dll");  // kept for the life of the process
    if (!dll) return a;
    Bind(dll, "GdiplusStartup", &a.Startup);
    Bind(dll, "GdiplusShutdown", &a.Shutdown);
    Bind(dll, "GdipGetImageEncodersSize", &a.GetImageEncodersSize);
    Bind(dll, "GdipGetImageEncoders", &a.GetImageEncoders);
    Bind(dll, "GdipCreateBitmapFromScan0", &a.CreateBitmapFromScan0);
    Bind(dll, "GdipSaveImageToFile", &a.SaveImageToFile);
    Bind(dll, "GdipDisposeImage", &a.DisposeImage);
    Bind(dll, "GdipCreateBitmapFromFile", &a.CreateBitmapFromFile);
    Bind(dll, "GdipGetImageWidth", &a.GetImageWidth);
    Bind(dll, "GdipGetImageHeight", &a.GetImageHeight);
    Bind(dll, "GdipGetImageGraphicsContext", &a.GetImageGraphicsContext);
    Bind(dll, "GdipSetInterpolationMode", &a.SetInterpolationMode);
    Bind(dll, "GdipDrawImageRectI", &a.DrawImageRectI);
    Bind(dll, "GdipDeleteGraphics", &a.DeleteGraphics);
    a.ok = a.Startup && a.Shutdown && a.GetImageEncodersSize && a.GetImageEncoders && a.CreateBitmapFromScan0 &&
           a.SaveImageToFile && a.DisposeImage && a.CreateBitmapFromFile && a.GetImageWidth && a.GetImageHeight &&
           a.GetImageGraphicsContext && a.SetInterpolationMode && a.DrawImageRectI && a.DeleteGraphics;
    return a;
  }();
  return api.ok ? &api : nullptr;
}

// 32-bit pixels, top row first, in the byte order GDI and GDI+ share (B, G, R, A).
using Pixels = ThumbnailPixels;

// COM for the shell item, balanced within one call whatever the thread had before.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

class GdiplusScope {
 public:
  explicit GdiplusScope(const GdiplusApi* gp) : gp_(gp) {
    Gdiplus::GdiplusStartupInput input;
    ok_ = gp_ && gp_->Startup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusScope() {
    if (ok_) gp_->Shutdown(token_);
  }
  bool ok() const { return ok_; }

 private:
  const GdiplusApi* gp_;
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

// The bitmap's pixels as 32-bit top-down rows. False when GDI cannot read them.
bool ReadBitmap(HBITMAP bitmap, Pixels* out) {
  BITMAP info = {};
  if (GetObjectW(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight == 0) return false;
  out->width = info.bmWidth;
  out->height = std::abs(info.bmHeight);
  out->bgra.assign(static_cast<size_t>(out->width) * out->height, 0);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = out->width;
  bi.bmiHeader.biHeight = -out->height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  HDC dc = CreateCompatibleDC(nullptr);
  int rows = dc ? GetDIBits(dc, bitmap, 0, out->height, out->bgra.data(), &bi, DIB_RGB_COLORS) : 0;
  if (dc) DeleteDC(dc);
  return rows == out->height;
}

bool HasAlpha(const Pixels& p) {
  return std::any_of(p.bgra.begin(), p.bgra.end(), [](uint32_t v) { return (v >> 24) != 0; });
}

// The shell's thumbnail (image factory of the shell item), scaled to fit size x size.
bool ShellImage(const std::wstring& path, int size, Pixels* out) {
  IShellItemImageFactory* factory = nullptr;
  if (FAILED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItemImageFactory,
                                         reinterpret_cast<void**>(&factory)))) {
    return false;
  }
  HBITMAP bitmap = nullptr;
  HRESULT hr = factory->GetImage(SIZE{size, size}, SIIGBF_RESIZETOFIT, &bitmap);
  factory->Release();
  if (FAILED(hr) || bitmap == nullptr) return false;
  bool ok = ReadBitmap(bitmap, out);
  DeleteObject(bitmap);
  // A picture of 1 pixel is no thumbnail: Wine answers every file with one.
  if (!ok || (out->width < 2 && out->height < 2)) return false;
  // The factory's alpha is premultiplied; a picture without any alpha is opaque.
  out->premultiplied = HasAlpha(*out);
  if (!out->premultiplied) {
    for (uint32_t& v : out->bgra) v |= 0xFF000000u;
  }
  return true;
}

// An image file decoded by GDI+ and scaled to fit size x size (for systems whose shell
// makes no thumbnails). Needs a started GDI+.
bool DecodedImage(const GdiplusApi& gp, const std::wstring& path, int size, Pixels* out) {
  Gdiplus::GpBitmap* image = nullptr;
  if (gp.CreateBitmapFromFile(path.c_str(), &image) != Gdiplus::Ok || !image) return false;
  UINT width = 0, height = 0;
  bool ok = gp.GetImageWidth(image, &width) == Gdiplus::Ok && gp.GetImageHeight(image, &height) == Gdiplus::Ok &&
            width > 0 && height > 0 && width < 65536 && height < 65536;
  if (ok) {
    FitInSquare(static_cast<int>(width), static_cast<int>(height), size, &out->width, &out->height);
    out->bgra.assign(static_cast<size_t>(out->width) * out->height, 0);
    out->premultiplied = false;
    // The scaled picture is drawn straight into out's pixels.
    Gdiplus::GpBitmap* target = nullptr;
    ok = gp.CreateBitmapFromScan0(out->width, out->height, out->width * 4, PixelFormat32bppARGB,
                                  reinterpret_cast<BYTE*>(out->bgra.data()), &target) == Gdiplus::Ok;
    Gdiplus::GpGraphics* graphics = nullptr;
    ok = ok && gp.GetImageGraphicsContext(target, &graphics) == Gdiplus::Ok;
    if (ok) {
      gp.SetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
      ok = gp.DrawImageRectI(graphics, image, 0, 0, out->width, out->height) == Gdiplus::Ok;
      gp.DeleteGraphics(graphics);
    }
    if (target) gp.DisposeImage(target);
  }
  gp.DisposeImage(image);
  return ok;
}

// The file's large shell icon; transparency from its alpha channel or else its mask.
// generic: the icon of the name's type without looking at the file (attributes says file or folder).
bool ShellIcon(const std::wstring& path, Pixels* out, bool generic = false, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  SHFILEINFOW sfi = {};
  if (generic || SHGetFileInfoW(path.c_str(), 0, &sfi, sizeof(sfi), SHGFI_ICON | SHGFI_LARGEICON) == 0 || !sfi.hIcon) {
    // The generic icon of the file's type when the shell cannot look at the file itself.
    if (SHGetFileInfoW(path.c_str(), attributes, &sfi, sizeof(sfi),
                       SHGFI_ICON | SHGFI_LARGEICON | SHGFI_USEFILEATTRIBUTES) == 0 ||
        !sfi.hIcon) {
      return false;
    }
  }
  ICONINFO ii = {};
  bool ok = GetIconInfo(sfi.hIcon, &ii) && ii.hbmColor != nullptr && ReadBitmap(ii.hbmColor, out);
  if (ok && !HasAlpha(*out)) {
    Pixels mask;
    ok = ii.hbmMask != nullptr && ReadBitmap(ii.hbmMask, &mask) && mask.width == out->width &&
         mask.height >= out->height;
    for (size_t i = 0; ok && i < out->bgra.size(); ++i) {
      bool transparent = (mask.bgra[i] & 0x00FFFFFFu) != 0;  // white in the AND mask
      out->bgra[i] = transparent ? 0 : (out->bgra[i] | 0xFF000000u);
    }
  }
  if (ii.hbmColor) DeleteObject(ii.hbmColor);
  if (ii.hbmMask) DeleteObject(ii.hbmMask);
  DestroyIcon(sfi.hIcon);
  out->premultiplied = false;
  return ok;
}

bool PngEncoder(const GdiplusApi& gp, CLSID* clsid) {
  UINT count = 0, bytes = 0;
  if (gp.GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (gp.GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
      *clsid = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

Status SavePng(const GdiplusApi& gp, Pixels& p, const std::wstring& path) {
  CLSID png;
  if (!PngEncoder(gp, &png)) return Status::Error("GDI+ has no PNG encoder");
  Gdiplus::GpBitmap* bitmap = nullptr;
  Gdiplus::PixelFormat format = p.premultiplied ? PixelFormat32bppPARGB : PixelFormat32bppARGB;
  if (gp.CreateBitmapFromScan0(p.width, p.height, p.width * 4, format, reinterpret_cast<BYTE*>(p.bgra.data()),
                               &bitmap) != Gdiplus::Ok) {
    return Status::Error("GDI+ cannot hold the picture");
  }
  Gdiplus::GpStatus st = gp.SaveImageToFile(bitmap, path.c_str(), &png, nullptr);
  gp.DisposeImage(bitmap);
  if (st != Gdiplus::Ok) return Status::Error("GDI+ cannot write the PNG file (status " + std::to_string(st) + ")");
  return Status::Ok();
}

}  // namespace

std::u16string ThumbnailFolder() {
  wchar_t buffer[MAX_PATH + 1] = {0};
  DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  std::u16string folder = (n == 0 || n > MAX_PATH) ? u"C:\\Windows\\Temp\\" : U(std::wstring_view(buffer, n));
  if (folder.back() != u'\\') folder += u'\\';
  return folder + u"nusk_thumbs\\";
}

Status PrepareThumbnailFolder(const std::u16string& folder) {
  std::wstring path = W(folder);
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
  if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return Status::Error("cannot create the thumbnail folder (error " + std::to_string(GetLastError()) + ")");
  }
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return Status::Error("the thumbnail folder is not a plain folder");
  }
  return Status::Ok();
}

Status MakeThumbnailPng(const std::u16string& source, int size, const std::u16string& png_path) {
  // Claim the name first: an existing file or reparse point there fails the call.
  HANDLE claim = CreateFileW(W(png_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (claim == INVALID_HANDLE_VALUE) return Status::Error("cannot create the thumbnail file");
  CloseHandle(claim);
  const GdiplusApi* gp = LoadGdiplus();
  GdiplusScope gdiplus(gp);
  if (!gdiplus.ok()) return Status::Error("GDI+ cannot be started");
  Pixels pixels;
  Status s = MakeThumbnailPixels(source, size, &pixels);
  if (!s.ok()) return s;
  return SavePng(*gp, pixels, W(png_path));
}

Status MakeThumbnailPixels(const std::u16string& source, int size, ThumbnailPixels* out) {
  ComScope com;
  const GdiplusApi* gp = LoadGdiplus();
  GdiplusScope gdiplus(gp);
  std::wstring path = W(source);
  *out = ThumbnailPixels();
  if (ShellImage(path, size, out)) return Status::Ok();
  if (gdiplus.ok() && IsDecodableImageName(source) && DecodedImage(*gp, path, size, out)) return Status::Ok();
  if (ShellIcon(path, out)) return Status::Ok();
  return Status::Error("the shell has neither a thumbnail nor an icon for this file");
}

Status GenericIconPixels(bool folder, ThumbnailPixels* out) {
  ComScope com;
  *out = ThumbnailPixels();
  if (ShellIcon(folder ? L"folder" : L"file", out, true, folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL)) {
    return Status::Ok();
  }
  return Status::Error("the shell has no generic icon");
}

}  // namespace nusk
