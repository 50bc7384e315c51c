#include "platform/gdi/jpeg_decoder.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace gdi {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* err = reinterpret_cast<ErrorManager*>(info->err);
    err->base.format_message(info, err->message);
    std::longjmp(err->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

// Everything touched after setjmp lives outside the function that calls it.
struct Decoder {
    jpeg_decompress_struct info{};
    ErrorManager err{};
    QImage image;
    std::vector<JSAMPLE> row;

    bool Run(std::string_view bytes) {
        info.err = jpeg_std_error(&err.base);
        err.base.error_exit = OnError;
        err.base.emit_message = OnMessage;
        if (setjmp(err.jump)) {
            jpeg_destroy_decompress(&info);
            image = QImage();
            return false;
        }
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&info, TRUE);
        const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        jpeg_start_decompress(&info);
        const int w = static_cast<int>(info.output_width);
        const int h = static_cast<int>(info.output_height);
        image = QImage(w, h, QImage::Format_RGB32);
        if (image.isNull()) {
            std::snprintf(err.message, sizeof err.message, "Picture too large (%dx%d)", w, h);
            jpeg_destroy_decompress(&info);
            return false;
        }
        row.resize(static_cast<std::size_t>(w) * info.output_components);
        const bool inverted = cmyk && info.saw_Adobe_marker;
        while (info.output_scanline < info.output_height) {
            JSAMPLE* rows[] = {row.data()};
            const int y = static_cast<int>(info.output_scanline);
            jpeg_read_scanlines(&info, rows, 1);
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                if (cmyk) {
                    int c = row[x * 4], m = row[x * 4 + 1], yy = row[x * 4 + 2], k = row[x * 4 + 3];
                    if (!inverted) {
                        c = 255 - c;
                        m = 255 - m;
                        yy = 255 - yy;
                        k = 255 - k;
                    }
                    out[x] = qRgb(c * k / 255, m * k / 255, yy * k / 255);
                } else {
                    out[x] = qRgb(row[x * 3], row[x * 3 + 1], row[x * 3 + 2]);
                }
            }
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        return true;
    }
};

} // namespace

QImage DecodeJpeg(std::string_view bytes, std::string* error) {
    if (bytes.size() < 4) {
        if (error) *error = "Not a JPEG picture";
        return QImage();
    }
    Decoder d;
    if (!d.Run(bytes)) {
        if (error) *error = d.err.message;
        return QImage();
    }
    return d.image;
}

} // namespace gdi
