#include "platform/gdi/jpeg_decoder.h"

#include "platform/gdi/jpeg_test_support.h"

#include <gtest/gtest.h>

using gdi::DecodeJpeg;

namespace {

QImage TwoColours() {
    QImage img(32, 16, QImage::Format_RGB32);
    img.fill(qRgb(200, 30, 30));
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x) img.setPixel(x, y, qRgb(20, 40, 220));
    return img;
}

bool Near(QRgb a, QRgb b, int tolerance = 12) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST(JpegDecoder, DecodesColourAndGreyPictures) {
    const QImage decoded = DecodeJpeg(gdi_test::EncodeJpeg(TwoColours()));
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(decoded.size(), QSize(32, 16));
    EXPECT_TRUE(Near(decoded.pixel(4, 8), qRgb(200, 30, 30))) << std::hex << decoded.pixel(4, 8);
    EXPECT_TRUE(Near(decoded.pixel(28, 8), qRgb(20, 40, 220))) << std::hex << decoded.pixel(28, 8);

    const QImage grey = DecodeJpeg(gdi_test::EncodeJpeg(TwoColours(), 1));
    ASSERT_FALSE(grey.isNull());
    const int g = qGray(200, 30, 30);
    EXPECT_TRUE(Near(grey.pixel(4, 8), qRgb(g, g, g)));
}

TEST(JpegDecoder, RefusesWhatIsNotAJpeg) {
    std::string error;
    EXPECT_TRUE(DecodeJpeg("", &error).isNull());
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_TRUE(DecodeJpeg("BM this is a bitmap, not a JPEG", &error).isNull());
    EXPECT_FALSE(error.empty());
    // A header cut short is an error, not a crash.
    const std::string jpeg = gdi_test::EncodeJpeg(TwoColours());
    for (std::size_t n : {2u, 20u, 100u, 200u}) {
        error.clear();
        EXPECT_TRUE(DecodeJpeg(jpeg.substr(0, n), &error).isNull()) << n;
        EXPECT_FALSE(error.empty()) << n;
    }
}
