#include "report/uPDFImage.h"

namespace {

unsigned Byte(std::string_view b, size_t i) {
  return static_cast<unsigned char>(b[i]);
}
unsigned Word(std::string_view b, size_t i) {
  return Byte(b, i) << 8 | Byte(b, i + 1);
}

bool IsStartOfFrame(unsigned marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

}  // namespace

TJPEGFrame ReadJPEGFrame(std::string_view b) {
  if (b.size() < 4 || Byte(b, 0) != 0xFF || Byte(b, 1) != 0xD8)
    throw EPDFImageError("Not a JPEG image");
  size_t pos = 2;
  while (true) {
    // Fill bytes (FF) may stand before a marker.
    while (pos < b.size() && Byte(b, pos) == 0xFF && pos + 1 < b.size() && Byte(b, pos + 1) == 0xFF)
      ++pos;
    if (pos + 2 > b.size() || Byte(b, pos) != 0xFF)
      throw EPDFImageError("JPEG image without a frame header");
    unsigned marker = Byte(b, pos + 1);
    pos += 2;
    if (marker == 0xD9 || marker == 0xDA)  // end of image, or scan data before any frame
      throw EPDFImageError("JPEG image without a frame header");
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length field
    if (pos + 2 > b.size()) throw EPDFImageError("JPEG image cut short");
    unsigned length = Word(b, pos);
    if (length < 2 || pos + length > b.size()) throw EPDFImageError("JPEG image cut short");
    if (IsStartOfFrame(marker)) {
      if (length < 8) throw EPDFImageError("JPEG frame header too short");
      TJPEGFrame frame;
      frame.BitsPerSample = static_cast<int>(Byte(b, pos + 2));
      frame.Height = static_cast<int>(Word(b, pos + 3));
      frame.Width = static_cast<int>(Word(b, pos + 5));
      frame.Components = static_cast<int>(Byte(b, pos + 7));
      if (frame.Width == 0 || frame.Height == 0)
        throw EPDFImageError("JPEG image without a size in its frame header");
      if (frame.Components != 1 && frame.Components != 3 && frame.Components != 4)
        throw EPDFImageError("JPEG image with " + std::to_string(frame.Components) +
                             " colour components");
      if (frame.BitsPerSample != 8)
        throw EPDFImageError("JPEG image with " + std::to_string(frame.BitsPerSample) +
                             " bits per sample");
      return frame;
    }
    pos += length;
  }
}
