#include "gui/program_icon.h"

#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win32/win_text.h"
#include "ui/custom_actions.h"

namespace nusk {

std::u16string ExpandEnvironment(std::u16string_view text) {
  const std::wstring in = W(text);
  const DWORD n = ExpandEnvironmentStringsW(in.c_str(), nullptr, 0);
  if (n == 0) return std::u16string(text);
  std::wstring out(n, L'\0');
  const DWORD got = ExpandEnvironmentStringsW(in.c_str(), out.data(), n);
  if (got == 0 || got > n) return std::u16string(text);
  out.resize(got - 1);
  return U(out);
}

HICON ProgramIcon(std::u16string_view expanded_command, int size) {
  const std::wstring program = W(CommandProgram(expanded_command));
  if (program.empty()) return nullptr;
  wchar_t found[MAX_PATH] = {};
  const DWORD n = SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  // The program's first icon at the asked size (the nearest one it holds, scaled).
  HICON icon = nullptr;
  const UINT sizes = MAKELONG(size, size);
  if (SHDefExtractIconW(found, 0, 0, &icon, nullptr, sizes) != S_OK) return nullptr;
  return icon;
}

BITMAPINFO TopDownBitmapInfo(int width, int height) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

namespace {

// The pixels of a bitmap as 32-bit top-down rows; empty when they cannot be read.
std::vector<uint32_t> Pixels32(HBITMAP bitmap, int width, int height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  BITMAPINFO bi = TopDownBitmapInfo(width, height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) pixels.clear();
  return pixels;
}

}  // namespace

HBITMAP IconAlphaBitmap(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return nullptr;
  BITMAP bm{};
  HBITMAP result = nullptr;
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bm), &bm) && bm.bmWidth > 0 && bm.bmHeight > 0) {
    const int w = bm.bmWidth, h = bm.bmHeight;
    std::vector<uint32_t> color = Pixels32(info.hbmColor, w, h);
    const std::vector<uint32_t> mask = Pixels32(info.hbmMask, w, h);
    bool has_alpha = false;
    for (uint32_t p : color) has_alpha |= (p >> 24) != 0;
    if (!color.empty() && (has_alpha || !mask.empty())) {
      for (size_t i = 0; i < color.size(); ++i) {
        // Without an alpha channel the mask says where the icon is (set bits are outside).
        const uint32_t a = has_alpha ? color[i] >> 24 : ((mask[i] & 0xFFFFFF) ? 0 : 255);
        auto premultiply = [a](uint32_t channel) { return (channel * a + 127) / 255; };
        color[i] = a << 24 | premultiply((color[i] >> 16) & 0xFF) << 16 | premultiply((color[i] >> 8) & 0xFF) << 8 |
                   premultiply(color[i] & 0xFF);
      }
      const BITMAPINFO bi = TopDownBitmapInfo(w, h);
      void* bits = nullptr;
      result = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
      if (result) std::memcpy(bits, color.data(), color.size() * sizeof(uint32_t));
    }
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return result;
}

}  // namespace nusk
