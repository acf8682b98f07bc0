// JPEG through libjpeg-turbo: decoding (grey, RGB, CMYK and Adobe's inverted CMYK/YCCK)
// row by row, and baseline encoding of any decoded picture.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <cstdlib>
#include <vector>

#include "platform/error.h"
#include "media/image_formats.h"

namespace velkaro {

namespace {

struct TJpegError {
    std::string Message;
};
struct TJpegEncodeError {
    std::string Message;
};

// libjpeg's error exit must not return: leave with the message as a C++ exception.
template <class E>
void ThrowJpegError(j_common_ptr cinfo) {
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    throw E{message};
}

void IgnoreJpegMessage(j_common_ptr, int) {}

// libjpeg only warns about damaged data (a cut-off file, bad Huffman codes, a lost
// marker) and fills in grey: such a picture must not pass as sound. Harmless are the
// warnings about metadata and about bytes left over after the complete picture data,
// which every reader skips.
void FailOnJpegWarning(j_common_ptr cinfo, int level) {
    if (level != -1) return; // trace messages
    switch (cinfo->err->msg_code) {
    case JWRN_ADOBE_XFORM: case JWRN_JFIF_MAJOR: case JWRN_BOGUS_ICC: case JWRN_EXTRANEOUS_DATA: return;
    default: ThrowJpegError<TJpegError>(cinfo);
    }
}

void InitErrors(jpeg_error_mgr& err, void (*onError)(j_common_ptr), void (*onMessage)(j_common_ptr, int)) {
    jpeg_std_error(&err);
    err.error_exit = onError;
    err.emit_message = onMessage;
}

struct TDecompressor {
    jpeg_decompress_struct Info{};
    jpeg_error_mgr Err{};
    TDecompressor() {
        InitErrors(Err, ThrowJpegError<TJpegError>, FailOnJpegWarning);
        Info.err = &Err;
        jpeg_create_decompress(&Info);
    }
    ~TDecompressor() { jpeg_destroy_decompress(&Info); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;
};

// Baseline JPEG into memory; the rows come through the sink interface.
class TJpegEncoder : public TImageRowSink {
public:
    explicit TJpegEncoder(int quality) : FQuality(quality) {
        InitErrors(FErr, ThrowJpegError<TJpegEncodeError>, IgnoreJpegMessage);
        FInfo.err = &FErr;
        jpeg_create_compress(&FInfo);
    }
    ~TJpegEncoder() override {
        jpeg_destroy_compress(&FInfo);
        std::free(FBuffer);
    }
    TJpegEncoder(const TJpegEncoder&) = delete;
    TJpegEncoder& operator=(const TJpegEncoder&) = delete;

    void Start(int width, int height) override {
        jpeg_mem_dest(&FInfo, &FBuffer, &FSize);
        FInfo.image_width = static_cast<JDIMENSION>(width);
        FInfo.image_height = static_cast<JDIMENSION>(height);
        FInfo.input_components = 3;
        FInfo.in_color_space = JCS_RGB;
        jpeg_set_defaults(&FInfo);
        jpeg_set_quality(&FInfo, FQuality, TRUE);
        jpeg_start_compress(&FInfo, TRUE);
        FStarted = true;
    }
    void Row(const uint8_t* rgb) override {
        JSAMPROW row = const_cast<JSAMPROW>(rgb);
        jpeg_write_scanlines(&FInfo, &row, 1);
    }
    std::string Finish() {
        if (!FStarted) throw TJpegEncodeError{"kein Bild"};
        jpeg_finish_compress(&FInfo);
        return std::string(reinterpret_cast<const char*>(FBuffer), FSize);
    }

private:
    int FQuality;
    jpeg_compress_struct FInfo{};
    jpeg_error_mgr FErr{};
    unsigned char* FBuffer = nullptr;
    unsigned long FSize = 0;
    bool FStarted = false;
};

} // namespace

namespace image_detail {

void DecodeJpeg(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    TDecompressor d;
    jpeg_decompress_struct& info = d.Info;
    try {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&info, JPEG_APP0 + 14, 0); // makes saw_Adobe_marker reliable
        jpeg_read_header(&info, TRUE);
        CheckImageSize(path, info.image_width, info.image_height);
        bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        if (cmyk) info.out_color_space = JCS_CMYK;
        else if (info.num_components == 1) info.out_color_space = JCS_GRAYSCALE;
        else info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        const size_t width = info.output_width;
        const int comps = info.output_components;
        std::vector<uint8_t> in(width * comps), rgb(width * 3);
        // Adobe writes CMYK inverted (0 = full ink); plain CMYK has 255 = full ink.
        const bool inverted = info.saw_Adobe_marker;
        sink.Start(static_cast<int>(width), static_cast<int>(info.output_height));
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = in.data();
            jpeg_read_scanlines(&info, &row, 1);
            for (size_t x = 0; x < width; ++x) {
                const uint8_t* p = &in[x * comps];
                if (comps == 1) {
                    rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = p[0];
                } else if (comps == 3) {
                    rgb[3 * x] = p[0], rgb[3 * x + 1] = p[1], rgb[3 * x + 2] = p[2];
                } else {
                    uint32_t k = inverted ? p[3] : 255u - p[3];
                    for (int c = 0; c < 3; ++c) {
                        uint32_t v = inverted ? p[c] : 255u - p[c];
                        rgb[3 * x + c] = static_cast<uint8_t>((v * k + 127u) / 255u);
                    }
                }
            }
            sink.Row(rgb.data());
        }
        jpeg_finish_decompress(&info);
    } catch (const TJpegError& e) {
        FailDecoding(path, "JPEG", e.Message);
    }
}

} // namespace image_detail

std::string ReencodeImageAsJpeg(const std::string& path, int quality) {
    return ReencodeImageAsJpeg(path, ReadImageFile(path), quality);
}

std::string ReencodeImageAsJpeg(const std::string& path, const std::string& bytes, int quality) {
    TJpegEncoder encoder(quality);
    try {
        image_detail::DecodeImageBytes(path, bytes, encoder);
        return encoder.Finish();
    } catch (const TJpegEncodeError& e) {
        throw Exception("Bild kann nicht als JPEG gespeichert werden: " + path + " (" + e.Message + ")");
    }
}

} // namespace velkaro
