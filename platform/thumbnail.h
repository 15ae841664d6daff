// Pictures of files for the web page's thumbnails, written as PNG files.
//
// Windows: the shell's thumbnail of the file (the image factory of its shell item), or,
// when the shell has none, the file's shell icon; written with GDI+ keeping the alpha
// channel. COM and GDI+ are set up and torn down within each call, so any thread may call.
// POSIX: there is no shell thumbnailer; a PNG file small enough to serve as its own
// thumbnail is copied as it is, anything else is declined.
#pragma once
#include <string>

#include "util/status.h"

namespace nusk {

// The system's temporary folder + "nusk_thumbs" + the path separator. Not created here.
std::u16string ThumbnailFolder();

// Writes a PNG picture of the native file `source`, at most `size` pixels along its longer
// edge where the system scales it, to `png_path` (created or replaced).
// Fails, with nothing useful at png_path, when the system can make no picture of it.
Status MakeThumbnailPng(const std::u16string& source, int size, const std::u16string& png_path);

}  // namespace nusk
