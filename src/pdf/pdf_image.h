#pragma once
// A picture file as a PDF image XObject: JPEG data with the DCT filter, grey or RGB.
#include <memory>
#include <string>
#include <string_view>

namespace velkaro {

class TPdfObjectWriter;

struct TJpegHeader {
    int Width = 0;
    int Height = 0;
    int Components = 0; // 0 when no frame header was found
};

// Finds the first frame header (SOF) of JPEG data by walking its segments.
TJpegHeader ParseJpegHeader(std::string_view data);

class TPdfImage {
public:
    // A ".jpg"/".jpeg" file with one or three components is taken byte for byte;
    // everything else is decoded, flattened onto white and re-encoded at quality 90.
    // Raises "Bilddatei nicht gefunden: ", "Bild kann nicht verwendet werden: " or the
    // decoder's message.
    static std::unique_ptr<TPdfImage> CreateFromFile(const std::string& fileName, const std::string& resName);

    const std::string& Data() const { return FData; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Components() const { return FComponents; }
    const std::string& ResName() const { return FResName; }
    const std::string& Source() const { return FSource; }
    void SetSource(const std::string& source) { FSource = source; }

    int Obj = 0; // object number, set when saving
    void WriteObject(TPdfObjectWriter& w) const;

private:
    void TakeHeader();

    std::string FData;
    int FWidth = 0;
    int FHeight = 0;
    int FComponents = 0;
    std::string FResName;
    std::string FSource;
};

} // namespace velkaro
