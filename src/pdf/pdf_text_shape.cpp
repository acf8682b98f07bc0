#include "pdf/pdf_text_shape.h"

#include <hb.h>

#include <memory>

namespace velkaro {

namespace {
struct BufferFree {
    void operator()(hb_buffer_t* b) const { hb_buffer_destroy(b); }
};
} // namespace

TTextShaper::TTextShaper(std::string_view data) {
    hb_blob_t* blob = hb_blob_create(data.data(), static_cast<unsigned>(data.size()), HB_MEMORY_MODE_READONLY,
                                     nullptr, nullptr);
    hb_face_t* face = hb_face_create(blob, 0);
    hb_blob_destroy(blob);
    const unsigned upem = hb_face_get_upem(face);
    FFont = hb_font_create(face);
    hb_face_destroy(face);
    hb_font_set_scale(FFont, static_cast<int>(upem), static_cast<int>(upem));
    hb_font_make_immutable(FFont);
    FScale = upem == 0 ? 1.0 : 1000.0 / upem;
}

TTextShaper::~TTextShaper() { hb_font_destroy(FFont); }

std::vector<TShapedGlyph> TTextShaper::ShapeRightToLeft(std::u32string_view text) const {
    std::vector<TShapedGlyph> out;
    if (text.empty()) return out;
    std::unique_ptr<hb_buffer_t, BufferFree> buffer(hb_buffer_create());
    hb_buffer_add_utf32(buffer.get(), reinterpret_cast<const uint32_t*>(text.data()), static_cast<int>(text.size()),
                        0, static_cast<int>(text.size()));
    hb_buffer_set_direction(buffer.get(), HB_DIRECTION_RTL);
    // Every character keeps a cluster of its own unless a ligature joins it, so marks
    // map to their own characters in the text layer.
    hb_buffer_set_cluster_level(buffer.get(), HB_BUFFER_CLUSTER_LEVEL_CHARACTERS);
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(FFont, buffer.get(), nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &count);
    out.reserve(count);
    for (unsigned i = 0; i < count; ++i)
        out.push_back({static_cast<uint16_t>(info[i].codepoint), info[i].cluster, pos[i].x_advance * FScale,
                       pos[i].x_offset * FScale, pos[i].y_offset * FScale});
    return out;
}

} // namespace velkaro
