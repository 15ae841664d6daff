// The portable rules of thumbnails: scaling into a square and which files are pictures.
#include <algorithm>

#include "platform/thumbnail.h"

namespace nusk {

void FitInSquare(int width, int height, int size, int* fit_width, int* fit_height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  size = std::max(size, 1);
  if (width <= size && height <= size) {
    *fit_width = width;
    *fit_height = height;
    return;
  }
  // The longer edge takes the square's size; the other keeps the proportion, rounded.
  if (width >= height) {
    *fit_width = size;
    *fit_height = std::max(1, static_cast<int>((int64_t{height} * size + width / 2) / width));
  } else {
    *fit_height = size;
    *fit_width = std::max(1, static_cast<int>((int64_t{width} * size + height / 2) / height));
  }
}

bool IsDecodableImageName(std::u16string_view name) {
  const size_t dot = name.rfind(u'.');
  if (dot == std::u16string_view::npos || name.size() - dot > 6) return false;
  std::u16string ext;
  for (char16_t c : name.substr(dot + 1)) ext += (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
  static constexpr std::u16string_view kExtensions[] = {u"bmp",  u"dib", u"png", u"jpg",  u"jpeg", u"jpe",
                                                        u"jfif", u"gif", u"tif", u"tiff", u"ico"};
  return std::find(std::begin(kExtensions), std::end(kExtensions), ext) != std::end(kExtensions);
}

}  // namespace nusk
