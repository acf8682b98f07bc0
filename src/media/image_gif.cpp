// GIF through giflib: the first frame, transparent colour shown as white.
#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "media/image_formats.h"

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
[[noreturn]] void FailGif(const std::string& path, int error) {
    const char* text = GifErrorString(error);
    FailDecoding(path, "GIF", text ? text : "giflib-Fehler " + std::to_string(error));
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
    if (!gif) FailGif(path, err);
    TGifCloser closer{gif};
    CheckImageSize(path, gif->SWidth, gif->SHeight);
    // Only the first frame counts. It is read record by record rather than with
    // DGifSlurp, which leaves the rest of a cut-off frame uninitialised.
    int transparent = NO_TRANSPARENT_COLOR;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &type) != GIF_OK) FailGif(path, gif->Error);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) FailGif(path, gif->Error);
            GraphicsControlBlock gcb;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4 &&
                DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK)
                transparent = gcb.TransparentColor;
            while (ext)
                if (DGifGetExtensionNext(gif, &ext) != GIF_OK) FailGif(path, gif->Error);
        } else if (type == TERMINATE_RECORD_TYPE) {
            Fail(path, "GIF ohne Bild");
        }
    } while (type != IMAGE_DESC_RECORD_TYPE);
    if (DGifGetImageDesc(gif) != GIF_OK) FailGif(path, gif->Error);
    const GifImageDesc& desc = gif->Image;
    CheckImageSize(path, desc.Width, desc.Height);
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map) Fail(path, "GIF ohne Farbtabelle");
    std::vector<GifByteType> raster(static_cast<size_t>(desc.Width) * desc.Height);
    if (DGifGetLine(gif, raster.data(), static_cast<int>(raster.size())) != GIF_OK) FailGif(path, gif->Error);

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
        const GifByteType* src = raster.data() + static_cast<size_t>(storedRow[y]) * width;
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
