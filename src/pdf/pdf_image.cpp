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

namespace {
// A frame without a width or height cannot be placed or scaled: it counts as unusable.
bool Usable(const TJpegHeader& h) {
    return h.Width > 0 && h.Height > 0 && (h.Components == 1 || h.Components == 3);
}

TPdfImageData WithHeader(std::string jpeg, const TJpegHeader& h) {
    return {std::move(jpeg), h.Width, h.Height, h.Components};
}

TPdfImageCache& ProcessImageCache() {
    static TPdfImageCache cache(LoadPdfImageData);
    return cache;
}
} // namespace

TPdfImageData LoadPdfImageData(const std::string& fileName) {
    std::string bytes = ReadImageFile(fileName);
    std::string ext = LowerAscii(ExtractFileExt(fileName));
    if (ext == ".jpg" || ext == ".jpeg") {
        TJpegHeader h = ParseJpegHeader(bytes);
        if (Usable(h)) {
            // Taken byte for byte, so it must be whole: a cut-off or damaged JPEG would
            // make the PDF itself invalid.
            TImageSize decoded = CheckImageDecodes(fileName, bytes);
            if (decoded.Width != h.Width || decoded.Height != h.Height)
                throw Exception("Bild kann nicht verwendet werden: " + fileName + " (Bildkopf und Bilddaten passen "
                                "nicht zueinander)");
            return WithHeader(std::move(bytes), h);
        }
    }
    std::string jpeg = ReencodeImageAsJpeg(fileName, bytes, 90);
    TJpegHeader h = ParseJpegHeader(jpeg);
    if (!Usable(h)) throw Exception("Bild kann nicht verwendet werden: " + fileName);
    return WithHeader(std::move(jpeg), h);
}

std::unique_ptr<TPdfImage> TPdfImage::CreateFromFile(const std::string& fileName, const std::string& resName) {
    if (!FileExists(fileName)) throw Exception("Bilddatei nicht gefunden: " + fileName);
    auto img = std::make_unique<TPdfImage>();
    img->FResName = resName;
    img->FImage = ProcessImageCache().Get(fileName);
    return img;
}

void TPdfImage::WriteObject(TPdfObjectWriter& w) const {
    w.WriteStreamObject(Obj,
                        "/Type /XObject /Subtype /Image /Width " + std::to_string(Width()) + " /Height " +
                            std::to_string(Height()) + " /ColorSpace " +
                            (Components() == 1 ? "/DeviceGray" : "/DeviceRGB") +
                            " /BitsPerComponent 8 /Filter /DCTDecode",
                        false, Data());
}

} // namespace velkaro
