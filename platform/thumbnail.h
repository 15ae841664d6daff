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

}  // namespace nusk
