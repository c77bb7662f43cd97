// An image of a document: a JPEG file embedded unchanged as an image stream
//   << /Length n /Type /XObject /Subtype /Image /Width w /Height h
//      /ColorSpace /DeviceGray | /DeviceRGB | /DeviceCMYK /Decode [ 1 0 1 0 1 0 1 0 ]
//      /BitsPerComponent 8 /Filter /DCTDecode >> stream <the file's bytes> endstream
// The size and the number of colour components come from the JPEG frame header:
//   FF D8 (start of image), then segments FF <marker> <16-bit big-endian length incl. itself>;
//   a start-of-frame marker (C0..CF except C4, C8, CC) holds
//   <precision 1> <height 2> <width 2> <components 1> ...
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

class TPDFStream;

// Raised when an image file cannot be read or decoded.
class EPDFImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TJPEGFrame {
  int Width = 0;
  int Height = 0;
  int Components = 0;
  int BitsPerSample = 0;
};

// The frame header of JPEG data. Raises EPDFImageError when the data is not JPEG, is cut short
// before its frame header, or the frame has no size or an unusable number of components.
TJPEGFrame ReadJPEGFrame(std::string_view bytes);

class TPDFImage {
 public:
  TPDFImage(std::string resourceName, TPDFStream* object, int width, int height)
      : resourceName_(std::move(resourceName)), object_(object), width_(width), height_(height) {}

  const std::string& ResourceName() const { return resourceName_; }
  TPDFStream* Object() const { return object_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  std::string resourceName_;
  TPDFStream* object_;  // owned by the document
  int width_;
  int height_;
};
