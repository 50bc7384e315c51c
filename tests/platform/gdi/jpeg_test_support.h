#pragma once
// Makes JPEG files with libjpeg's own encoder, for decoder tests.

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace gdi_test {

// `components` 3 encodes colour, 1 grey.
inline std::string EncodeJpeg(const QImage& source, int components = 3, int quality = 95) {
    const QImage img = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(img.width());
    info.image_height = static_cast<JDIMENSION>(img.height());
    info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(img.width()) * components);
    while (info.next_scanline < info.image_height) {
        const uchar* src = img.constScanLine(static_cast<int>(info.next_scanline));
        for (int x = 0; x < img.width(); ++x) {
            if (components == 3) {
                for (int k = 0; k < 3; ++k) row[x * 3 + k] = src[x * 3 + k];
            } else {
                row[x] = static_cast<JSAMPLE>(qGray(src[x * 3], src[x * 3 + 1], src[x * 3 + 2]));
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

} // namespace gdi_test
