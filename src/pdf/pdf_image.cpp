#include "pdf/pdf_image.h"

#include "pdf/pdf_object_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "media/image_decode.h"
#include "platform/text.h"

namespace velkaro {

namespace {
bool IsFrameMarker(unsigned m) {
    return (m >= 0xC0 && m <= 0xC3) || (m >= 0xC5 && m <= 0xC7) || (m >= 0xC9 && m <= 0xCB) ||
           (m >= 0xCD && m <= 0xCF);
}
unsigned ByteAt(std::string_view d, size_t pos) { return static_cast<unsigned char>(d[pos]); }
} // namespace

TJpegHeader ParseJpegHeader(std::string_view d) {
    TJpegHeader h;
    if (d.size() < 4 || ByteAt(d, 0) != 0xFF || ByteAt(d, 1) != 0xD8) return h;
    size_t pos = 2;
    while (pos + 9 < d.size()) {
        if (ByteAt(d, pos) != 0xFF) {
            ++pos;
            continue;
        }
        unsigned marker = ByteAt(d, pos + 1);
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8) || marker == 0xFF) {
            pos += 2;
        } else if (IsFrameMarker(marker)) {
            h.Height = static_cast<int>(ByteAt(d, pos + 5) << 8 | ByteAt(d, pos + 6));
            h.Width = static_cast<int>(ByteAt(d, pos + 7) << 8 | ByteAt(d, pos + 8));
            h.Components = static_cast<int>(ByteAt(d, pos + 9));
            return h;
        } else {
            pos += (ByteAt(d, pos + 2) << 8 | ByteAt(d, pos + 3)) + 2;
        }
    }
    return h;
}

void TPdfImage::TakeHeader() {
    TJpegHeader h = ParseJpegHeader(FData);
    // A frame without a width or height cannot be placed or scaled: decode it instead.
    FComponents = h.Width > 0 && h.Height > 0 ? h.Components : 0;
    if (h.Components != 0) {
        FWidth = h.Width;
        FHeight = h.Height;
    }
}

std::unique_ptr<TPdfImage> TPdfImage::CreateFromFile(const std::string& fileName, const std::string& resName) {
    auto img = std::make_unique<TPdfImage>();
    img->FResName = resName;
    if (!FileExists(fileName)) throw Exception("Bilddatei nicht gefunden: " + fileName);
    std::string ext = LowerAscii(ExtractFileExt(fileName));
    if (ext == ".jpg" || ext == ".jpeg") {
        img->FData = ReadFileBytes(fileName);
        img->TakeHeader();
    }
    if (img->FComponents != 1 && img->FComponents != 3) {
        img->FData = ReencodeImageAsJpeg(fileName, 90);
        img->TakeHeader();
    }
    if (img->FComponents != 1 && img->FComponents != 3)
        throw Exception("Bild kann nicht verwendet werden: " + fileName);
    return img;
}

void TPdfImage::WriteObject(TPdfObjectWriter& w) const {
    w.WriteStreamObject(Obj,
                        "/Type /XObject /Subtype /Image /Width " + std::to_string(FWidth) + " /Height " +
                            std::to_string(FHeight) + " /ColorSpace " +
                            (FComponents == 1 ? "/DeviceGray" : "/DeviceRGB") +
                            " /BitsPerComponent 8 /Filter /DCTDecode",
                        false, FData);
}

} // namespace velkaro
