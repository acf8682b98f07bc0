// TIFF through libtiff's RGBA interface (every photometric it knows), first directory.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "media/image_formats.h"

namespace velkaro::image_detail {

namespace {

struct TTiffSource {
    const std::string& Bytes;
    toff_t Pos = 0;
    std::string Error{};
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
    auto* s = static_cast<TTiffSource*>(h);
    if (size < 0 || s->Pos >= s->Bytes.size()) return 0;
    size_t n = std::min(static_cast<size_t>(size), static_cast<size_t>(s->Bytes.size() - s->Pos));
    std::memcpy(buf, s->Bytes.data() + s->Pos, n);
    s->Pos += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }
toff_t SeekProc(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<TTiffSource*>(h);
    toff_t base = whence == SEEK_CUR ? s->Pos : whence == SEEK_END ? s->Bytes.size() : 0;
    s->Pos = base + off;
    return s->Pos;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<TTiffSource*>(h)->Bytes.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

int OnTiffError(TIFF*, void* user, const char*, const char* fmt, va_list ap) {
    auto* s = static_cast<TTiffSource*>(user);
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (s->Error.empty()) s->Error = buf;
    return 1;
}
int OnTiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TTiffCloser {
    TIFF* Tif;
    ~TTiffCloser() {
        if (Tif) TIFFClose(Tif);
    }
};

} // namespace

void DecodeTiff(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    TTiffSource source{bytes};
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, OnTiffError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, OnTiffWarning, &source);
    TIFF* tif = TIFFClientOpenExt(path.c_str(), "rm", &source, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                  MapProc, UnmapProc, opts);
    TIFFOpenOptionsFree(opts);
    if (!tif) FailDecoding(path, "TIFF", source.Error);
    TTiffCloser closer{tif};
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    CheckImageSize(path, width, height);
    std::vector<uint32_t> raster(static_cast<size_t>(width) * height);
    // Stop at the first damaged strip: otherwise libtiff hands back the rest unread.
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1))
        FailDecoding(path, "TIFF", source.Error);
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    sink.Start(static_cast<int>(width), static_cast<int>(height));
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* row = &raster[static_cast<size_t>(y) * width];
        for (uint32_t x = 0; x < width; ++x) {
            // libtiff delivers premultiplied alpha: colour + white × (1 − alpha).
            uint32_t a = TIFFGetA(row[x]);
            uint32_t c[3] = {TIFFGetR(row[x]), TIFFGetG(row[x]), TIFFGetB(row[x])};
            for (int k = 0; k < 3; ++k) rgb[3 * x + k] = static_cast<uint8_t>(std::min(255u, c[k] + 255u - a));
        }
        sink.Row(rgb.data());
    }
}

} // namespace velkaro::image_detail
