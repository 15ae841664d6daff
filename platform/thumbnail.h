// Pictures of files for the web page's thumbnails, written as PNG files.
//
// Windows: the shell's thumbnail of the file (the image factory of its shell item), or,
// when the shell has none, the file's shell icon; written with GDI+ keeping the alpha
// channel. COM and GDI+ are set up and torn down within each call, so any thread may call.
// POSIX: there is no shell thumbnailer; a PNG file small enough to serve as its own
// thumbnail is copied as it is, anything else is declined.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/status.h"

namespace nusk {

// The folder for thumbnails, private to the user, ending with the path separator. Not
// created here. POSIX: $XDG_CACHE_HOME/nusk/thumbs/, else ~/.cache/nusk/thumbs/ (empty
// when neither is known). Windows: the user's temporary folder + "nusk_thumbs\".
std::u16string ThumbnailFolder();

// Creates `folder` (ending with the separator) and any missing parent for this user only
// (POSIX mode 0700), and checks that it is a real folder of this user: not a link, and on
// POSIX owned by this user with no access for others. A folder planted by someone else is
// refused, never used.
Status PrepareThumbnailFolder(const std::u16string& folder);

// Writes a PNG picture of the native file `source`, at most `size` pixels along its longer
// edge where the system scales it, to `png_path`, which must not exist yet: it is created
// new, and an existing file or link there makes the call fail (no link is followed).
// The source is read without following a link in its last component.
// Fails, with nothing useful at png_path, when the system can make no picture of it.
Status MakeThumbnailPng(const std::u16string& source, int size, const std::u16string& png_path);

// A picture in memory: 32-bit pixels, top row first, bytes B, G, R, A.
struct ThumbnailPixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> bgra;
  bool premultiplied = false;  // colour already multiplied by alpha
};

// The picture MakeThumbnailPng writes, in memory: the shell's thumbnail; where the shell
// has none or answers with a token picture (Wine gives 1x1), an image file GDI+ can read
// (IsDecodableImageName) decoded and scaled to fit size x size; else the file's icon.
// POSIX: declined.
Status MakeThumbnailPixels(const std::u16string& source, int size, ThumbnailPixels* out);

// The generic icon of a file or a folder, without touching anything on disk (for items on
// a sleeping drive). POSIX: declined.
Status GenericIconPixels(bool folder, ThumbnailPixels* out);

// The size of a width x height picture scaled to fit a size x size square with its
// proportions kept: never larger than the picture itself, never below 1 pixel.
void FitInSquare(int width, int height, int size, int* fit_width, int* fit_height);

// Names whose content GDI+ decodes: .bmp .dib .png .jpg .jpeg .jpe .jfif .gif .tif .tiff
// .ico, in any case.
bool IsDecodableImageName(std::u16string_view name);

}  // namespace nusk
