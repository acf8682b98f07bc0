// Font files as the PDF writer meets them: the sfnt check, then the table walk.
// Damaged data must end in velkaro::Exception, never in a read past the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pdf/pdf_font_tables.h"
#include "platform/error.h"
#include "media/font_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        velkaro::CheckTrueTypeData(bytes, "Fuzz");
    } catch (const velkaro::Exception&) {
    }
    // The table walk also gets data the sfnt check refuses: it must stand on its own.
    try {
        velkaro::TFontMetrics m = velkaro::ParseFontTables(bytes, "Fuzz");
        for (int c = 0; c < 32; ++c)
            if (m.Widths[c] != 0) std::abort();
    } catch (const velkaro::Exception&) {
    }
    return 0;
}
