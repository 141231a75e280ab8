// PNG files of bitmaps: the command line's graph output and the golden images of the tests.
#pragma once

#include <string>

#include "platform/bitmap.h"

namespace melvox::platform {

// Writes the bitmap as an 8-bit RGB PNG without interlacing, through a ReplacingFile: path either
// keeps what it held or holds the whole image, and no other file stays behind. Throws std::runtime_error with one line
// naming the path and the reason, e.g. "cannot write 'x.png': No space left on device"; a bitmap with no pixels cannot
// be written.
void WritePng(const std::string& path, const Bitmap& bitmap);

// Reads a PNG as a 24-bit bitmap: RGB as it is, RGBA without its alpha, greyscale and palette images
// expanded to RGB, 16-bit samples reduced to their high 8 bits, interlaced images deinterlaced.
// Throws std::runtime_error ("cannot read 'x.png': ...") for a file that cannot be read, that is not
// a PNG, that is damaged, or whose sides exceed Bitmap::kMaxSide.
Bitmap ReadPng(const std::string& path);

}  // namespace melvox::platform
