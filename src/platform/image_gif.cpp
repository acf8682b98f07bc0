// GIF through giflib: the first frame, transparent colour shown as white.
#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "platform/image_formats.h"

namespace velkaro::image_detail {

namespace {

struct TGifSource {
    const std::string& Bytes;
    size_t Pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int count) {
    auto* src = static_cast<TGifSource*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(count < 0 ? 0 : count), src->Bytes.size() - src->Pos);
    std::memcpy(out, src->Bytes.data() + src->Pos, n);
    src->Pos += n;
    return static_cast<int>(n);
}

// giflib has no text for some failures (e.g. a frame of zero rows): never a null pointer.
std::string GifMessage(int error) {
    const char* text = GifErrorString(error);
    return std::string("GIF: ") + (text ? text : "Fehler " + std::to_string(error));
}

struct TGifCloser {
    GifFileType* Gif;
    ~TGifCloser() {
        int err = 0;
        if (Gif) DGifCloseFile(Gif, &err);
    }
};

} // namespace

void DecodeGif(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    TGifSource source{bytes};
    int err = 0;
    GifFileType* gif = DGifOpen(&source, ReadFromMemory, &err);
    if (!gif) Fail(path, GifMessage(err));
    TGifCloser closer{gif};
    CheckBufferedSize(path, gif->SWidth, gif->SHeight);
    if (DGifSlurp(gif) != GIF_OK && gif->ImageCount == 0) Fail(path, GifMessage(gif->Error));
    if (gif->ImageCount < 1) Fail(path, "GIF ohne Bild");

    const SavedImage& frame = gif->SavedImages[0];
    const GifImageDesc& desc = frame.ImageDesc;
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !frame.RasterBits) Fail(path, "GIF ohne Farbtabelle");
    CheckBufferedSize(path, desc.Width, desc.Height);
    int transparent = NO_TRANSPARENT_COLOR;
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) transparent = gcb.TransparentColor;

    const int width = desc.Width, height = desc.Height;
    // Interlaced frames store rows in four passes; find the stored row of each picture row.
    std::vector<int> storedRow(height);
    if (desc.Interlace) {
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int stored = 0;
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height; y += kStep[pass]) storedRow[y] = stored++;
    } else {
        for (int y = 0; y < height; ++y) storedRow[y] = y;
    }
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    sink.Start(width, height);
    for (int y = 0; y < height; ++y) {
        const GifByteType* src = frame.RasterBits + static_cast<size_t>(storedRow[y]) * width;
        for (int x = 0; x < width; ++x) {
            int index = src[x];
            uint8_t* px = &rgb[3 * static_cast<size_t>(x)];
            if (index == transparent || index >= map->ColorCount) {
                px[0] = px[1] = px[2] = 255;
            } else {
                px[0] = map->Colors[index].Red;
                px[1] = map->Colors[index].Green;
                px[2] = map->Colors[index].Blue;
            }
        }
        sink.Row(rgb.data());
    }
}

} // namespace velkaro::image_detail
