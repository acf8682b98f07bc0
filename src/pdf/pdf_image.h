#pragma once
// A picture file as a PDF image XObject: JPEG data with the DCT filter, grey or RGB.
#include <memory>
#include <string>
#include <string_view>

#include "pdf/pdf_image_cache.h"

namespace velkaro {

class TPdfObjectWriter;

struct TJpegHeader {
    int Width = 0;
    int Height = 0;
    int Components = 0; // 0 when no frame header was found
};

// Finds the first frame header (SOF) of JPEG data by walking its segments.
TJpegHeader ParseJpegHeader(std::string_view data);

// The picture file as it goes into the PDF, read and checked without a cache: a
// ".jpg"/".jpeg" file with one or three components is taken byte for byte once it
// decodes to its end; everything else is decoded, flattened onto white and re-encoded
// at quality 90. Raises "Bild kann nicht verwendet werden: " or the decoder's message.
TPdfImageData LoadPdfImageData(const std::string& fileName);

class TPdfImage {
public:
    // LoadPdfImageData once per process and file (TPdfImageCache). Raises "Bilddatei
    // nicht gefunden: " or the messages of LoadPdfImageData.
    static std::unique_ptr<TPdfImage> CreateFromFile(const std::string& fileName, const std::string& resName);

    const std::string& Data() const { return FImage->Jpeg; }
    int Width() const { return FImage->Width; }
    int Height() const { return FImage->Height; }
    int Components() const { return FImage->Components; }
    const std::string& ResName() const { return FResName; }
    const std::string& Source() const { return FSource; }
    void SetSource(const std::string& source) { FSource = source; }

    int Obj = 0; // object number, set when saving
    void WriteObject(TPdfObjectWriter& w) const;

private:
    std::shared_ptr<const TPdfImageData> FImage; // shared with the cache, never null
    std::string FResName;
    std::string FSource;
};

} // namespace velkaro
