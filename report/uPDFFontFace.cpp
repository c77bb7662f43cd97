// The "head" table read here (big-endian, offsets in bytes):
//   18 unitsPerEm (uint16)   36 xMin   38 yMin   40 xMax   42 yMax (int16 each)
#include "report/uPDFFontFace.h"

#include <hb-ot.h>
#include <hb-subset.h>
#include <hb.h>

#include <cmath>
#include <stdexcept>

namespace {

int16_t BigEndian16(const char* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(static_cast<unsigned char>(p[0]) << 8 |
                                                    static_cast<unsigned char>(p[1])));
}

}  // namespace

TPDFFontFace::TPDFFontFace(const std::string& file, unsigned index) : file_(file) {
  blob_ = hb_blob_create_from_file_or_fail(file.c_str());
  if (!blob_ || index >= hb_face_count(blob_)) {
    hb_blob_destroy(blob_);
    throw std::runtime_error("Cannot read the font " + file);
  }
  face_ = hb_face_create(blob_, index);
  font_ = hb_font_create(face_);
  const unsigned upem = hb_face_get_upem(face_);
  scale_ = 1000.0 / (upem ? upem : 1000);

  hb_blob_t* glyf = hb_face_reference_table(face_, HB_TAG('g', 'l', 'y', 'f'));
  trueType_ = hb_blob_get_length(glyf) > 0;
  hb_blob_destroy(glyf);

  hb_blob_t* head = hb_face_reference_table(face_, HB_TAG('h', 'e', 'a', 'd'));
  unsigned length = 0;
  const char* data = hb_blob_get_data(head, &length);
  if (data && length >= 44)
    for (int i = 0; i < 4; ++i)
      bbox_[i] = static_cast<int>(std::lround(BigEndian16(data + 36 + 2 * i) * scale_));
  hb_blob_destroy(head);

  hb_position_t v = 0;
  if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_ASCENDER, &v))
    ascent_ = static_cast<int>(std::lround(v * scale_));
  if (hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_HORIZONTAL_DESCENDER, &v))
    descent_ = static_cast<int>(std::lround(v * scale_));
  capHeight_ = hb_ot_metrics_get_position(font_, HB_OT_METRICS_TAG_CAP_HEIGHT, &v)
                   ? static_cast<int>(std::lround(v * scale_))
                   : ascent_;

  char name[128];
  unsigned nameLength = sizeof name;
  hb_ot_name_get_utf8(face_, HB_OT_NAME_ID_POSTSCRIPT_NAME, HB_LANGUAGE_INVALID, &nameLength, name);
  for (unsigned i = 0; i < nameLength && name[i]; ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')
      postScriptName_ += c;
  }
  if (postScriptName_.empty()) postScriptName_ = "Font";
}

TPDFFontFace::~TPDFFontFace() {
  hb_font_destroy(font_);
  hb_face_destroy(face_);
  hb_blob_destroy(blob_);
}

bool TPDFFontFace::HasCharacter(char32_t c) const {
  hb_codepoint_t glyph = 0;
  return hb_font_get_nominal_glyph(font_, c, &glyph) && glyph != 0;
}

int TPDFFontFace::GlyphWidth(uint32_t glyph) const {
  return static_cast<int>(std::lround(hb_font_get_glyph_h_advance(font_, glyph) * scale_));
}

void TPDFFontFace::Shape(const std::u32string& text, size_t start, size_t length, bool rtl,
                         uint32_t script, std::vector<TPDFShapedGlyph>& out) const {
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf32(buffer, reinterpret_cast<const uint32_t*>(text.data()),
                      static_cast<int>(text.size()), static_cast<unsigned>(start),
                      static_cast<int>(length));
  hb_buffer_set_direction(buffer, rtl ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
  hb_buffer_set_script(buffer, static_cast<hb_script_t>(script));
  hb_buffer_set_language(buffer, hb_language_get_default());
  hb_shape(font_, buffer, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  const hb_glyph_position_t* position = hb_buffer_get_glyph_positions(buffer, &count);
  for (unsigned i = 0; i < count; ++i)
    out.push_back({info[i].codepoint, position[i].x_advance * scale_, position[i].x_offset * scale_,
                   position[i].y_offset * scale_, info[i].cluster});
  hb_buffer_destroy(buffer);
}

std::string TPDFFontFace::Subset(const std::vector<uint32_t>& glyphs) const {
  hb_subset_input_t* input = hb_subset_input_create_or_fail();
  if (!input) throw std::runtime_error("Cannot subset the font " + file_);
  hb_set_t* glyphSet = hb_subset_input_glyph_set(input);
  hb_set_add(glyphSet, 0);
  for (uint32_t g : glyphs) hb_set_add(glyphSet, g);
  hb_subset_input_set_flags(input, HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
  // The PDF viewer places every glyph itself: the shaping tables are of no use in the file.
  hb_set_t* drop = hb_subset_input_set(input, HB_SUBSET_SETS_DROP_TABLE_TAG);
  for (hb_tag_t tag :
       {HB_TAG('G', 'S', 'U', 'B'), HB_TAG('G', 'P', 'O', 'S'), HB_TAG('G', 'D', 'E', 'F'),
        HB_TAG('k', 'e', 'r', 'n'), HB_TAG('B', 'A', 'S', 'E'), HB_TAG('J', 'S', 'T', 'F'),
        HB_TAG('M', 'A', 'T', 'H')})
    hb_set_add(drop, tag);
  hb_face_t* subset = hb_subset_or_fail(face_, input);
  hb_subset_input_destroy(input);
  if (!subset) throw std::runtime_error("Cannot subset the font " + file_);
  hb_blob_t* blob = hb_face_reference_blob(subset);
  unsigned length = 0;
  const char* data = hb_blob_get_data(blob, &length);
  std::string bytes(data ? data : "", data ? length : 0);
  hb_blob_destroy(blob);
  hb_face_destroy(subset);
  if (bytes.empty()) throw std::runtime_error("Cannot subset the font " + file_);
  return bytes;
}
