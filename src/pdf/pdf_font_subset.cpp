#include "pdf/pdf_font_subset.h"

#include <hb-subset.h>
#include <hb.h>

#include <memory>

#include "platform/error.h"

namespace velkaro {

namespace {
struct BlobFree {
    void operator()(hb_blob_t* b) const { hb_blob_destroy(b); }
};
struct FaceFree {
    void operator()(hb_face_t* f) const { hb_face_destroy(f); }
};
struct InputFree {
    void operator()(hb_subset_input_t* i) const { hb_subset_input_destroy(i); }
};
using BlobPtr = std::unique_ptr<hb_blob_t, BlobFree>;
using FacePtr = std::unique_ptr<hb_face_t, FaceFree>;
using InputPtr = std::unique_ptr<hb_subset_input_t, InputFree>;

constexpr const char* kDroppedTables[] = {"GSUB", "GPOS", "GDEF", "BASE", "JSTF", "MATH",
                                          "kern", "kerx", "morx", "mort", "DSIG"};

Exception SubsetError(const std::string& face) {
    return Exception("Schrift " + face + " konnte nicht auf die verwendeten Zeichen reduziert werden");
}
} // namespace

TFontSubsetter::TFontSubsetter(std::string_view data, const std::string& face) : FName(face) {
    BlobPtr blob(hb_blob_create(data.data(), static_cast<unsigned>(data.size()), HB_MEMORY_MODE_READONLY, nullptr,
                                nullptr));
    // The face as it is: HarfBuzz 6.0's preprocessed faces crash on files without
    // outlines (found by fuzzing), and the subsets are kept by the caller anyway.
    FacePtr source(hb_face_create(blob.get(), 0));
    if (!source || hb_face_get_glyph_count(source.get()) == 0) throw SubsetError(face);
    FFace = source.release();
}

TFontSubsetter::~TFontSubsetter() { hb_face_destroy(FFace); }

std::string TFontSubsetter::Subset(const std::map<uint16_t, std::u32string>& glyphs) const {
    InputPtr input(hb_subset_input_create_or_fail());
    if (!input) throw SubsetError(FName);
    // Hinting instructions are a third of a subset and change nothing in print or in
    // the viewers' pictures of the demo invoices (compared pixel by pixel).
    hb_subset_input_set_flags(input.get(), HB_SUBSET_FLAGS_RETAIN_GIDS | HB_SUBSET_FLAGS_NO_HINTING);
    hb_set_t* glyphSet = hb_subset_input_glyph_set(input.get());
    hb_set_t* unicodes = hb_subset_input_unicode_set(input.get());
    for (const auto& [glyph, text] : glyphs) {
        hb_set_add(glyphSet, glyph);
        if (glyph != 0)
            for (char32_t ch : text) hb_set_add(unicodes, ch);
    }
    hb_set_t* dropped = hb_subset_input_set(input.get(), HB_SUBSET_SETS_DROP_TABLE_TAG);
    for (const char* tag : kDroppedTables) hb_set_add(dropped, hb_tag_from_string(tag, 4));

    FacePtr subset(hb_subset_or_fail(FFace, input.get()));
    if (!subset) throw SubsetError(FName);
    BlobPtr out(hb_face_reference_blob(subset.get()));
    unsigned length = 0;
    const char* bytes = hb_blob_get_data(out.get(), &length);
    if (!bytes || length == 0) throw SubsetError(FName);
    return std::string(bytes, length);
}

std::string SubsetFontProgram(std::string_view data, const std::map<uint16_t, std::u32string>& glyphs,
                              const std::string& face) {
    return TFontSubsetter(data, face).Subset(glyphs);
}

} // namespace velkaro
