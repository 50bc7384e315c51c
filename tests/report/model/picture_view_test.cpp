#include "model_test_support.h"

#include "platform/gdi/jpeg_test_support.h"
#include "platform/gdi/recording_canvas.h"
#include "report/model/picture_view.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <gmock/gmock.h>

using namespace model_test;
using rtl::TVariant;
using ::testing::ElementsAre;

namespace {

class Pictures : public ModelTest {};

QImage Checker() {
    QImage img(24, 12, QImage::Format_RGB32);
    img.fill(qRgb(0, 160, 0));
    return img;
}

std::string Encoded(const QImage& img, const char* format) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes.toStdString();
}

// An enhanced-metafile header whose frame is 1 x 0.5 inch.
std::string EmfHeader() {
    Bytes b;
    b.i32(1).i32(88).i32(0).i32(0).i32(95).i32(47).i32(0).i32(0).i32(2540).i32(1270);
    b.i32(0x464D4520).i32(0x10000).i32(88).i32(1).u16(0).u16(0).i32(0).i32(0).i32(0);
    b.i32(1024).i32(768).i32(320).i32(240);
    return b;
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
    const QString path = QDir(QString(TEST_OUTPUT_DIR)).filePath(QString::fromStdString(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    return path.toStdString();
}

} // namespace

TEST_F(Pictures, JpegImagesAreDecodedByLibjpegAndStoredAsTheyCame) {
    const std::string jpeg = gdi_test::EncodeJpeg(Checker());
    TfrPictureView pict;
    pict.Picture.LoadFromBytes(TfrPictureKind::JPEG, jpeg);
    EXPECT_EQ(pict.Picture.Width(), 24);
    EXPECT_EQ(pict.Picture.Height(), 12);
    const QRgb px = pict.Picture.Image().pixel(12, 6);
    EXPECT_NEAR(qGreen(px), 160, 10);
    EXPECT_NEAR(qRed(px), 0, 10);

    TfrPictureView back;
    back.ReadFromStream(*StreamOf(RecordOf(pict)));
    EXPECT_EQ(back.Picture.Kind(), TfrPictureKind::JPEG);
    EXPECT_EQ(back.Picture.Bytes(), jpeg);
}

TEST_F(Pictures, MetafilesAreKeptByteForByteAndPaintAsAnEmptyFrame) {
    const std::string emf = EmfHeader() + std::string(40, '\x07');
    TfrPictureView pict;
    pict.Picture.LoadFromBytes(TfrPictureKind::Metafile, emf);
    EXPECT_EQ(pict.Picture.Width(), 96);
    EXPECT_EQ(pict.Picture.Height(), 48);
    const std::string record = RecordOf(pict);
    TfrPictureView back;
    back.ReadFromStream(*StreamOf(record));
    EXPECT_EQ(back.Picture.Bytes(), emf);
    EXPECT_EQ(RecordOf(back), record);

    frEngine().OutputMode = true;
    back.SetBounds(0, 0, 50, 20);
    back.FrameTyp = frftTop;
    gdi::RecordingCanvas canvas;
    back.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("LineTo(50,0) from (0,0) pen{$000000,1,psSolid}"));
}

TEST_F(Pictures, UndecodableBytesAreKeptAndPaintNothing) {
    TfrPictureView pict;
    pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, "BM broken");
    EXPECT_FALSE(pict.Picture.Empty());
    EXPECT_TRUE(pict.Picture.Image().isNull());
    TfrPictureView back;
    back.ReadFromStream(*StreamOf(RecordOf(pict)));
    EXPECT_EQ(back.Picture.Bytes(), "BM broken");
    gdi::RecordingCanvas canvas;
    frEngine().OutputMode = true;
    back.Paint(canvas);
    EXPECT_TRUE(canvas.Calls().empty());
}

TEST_F(Pictures, BlobsLoadAsTheKindTheBlobTypeNames) {
    TfrPictureView pict;
    pict.BlobType = btJPG;
    pict.LoadFromBlob(TfrBlobData{false, gdi_test::EncodeJpeg(Checker())});
    EXPECT_EQ(pict.Picture.Kind(), TfrPictureKind::JPEG);
    EXPECT_EQ(pict.Picture.Width(), 24);

    pict.BlobType = btBMP;
    pict.LoadFromBlob(TfrBlobData{false, Encoded(Checker(), "BMP")});
    EXPECT_EQ(pict.Picture.Kind(), TfrPictureKind::Bitmap);
    EXPECT_EQ(pict.Picture.Height(), 12);

    pict.BlobType = btICO;
    pict.LoadFromBlob(TfrBlobData{false, Encoded(QImage(16, 16, QImage::Format_ARGB32), "ICO")});
    EXPECT_EQ(pict.Picture.Kind(), TfrPictureKind::Icon);

    pict.BlobType = btWMF;
    pict.LoadFromBlob(TfrBlobData{false, EmfHeader()});
    EXPECT_EQ(pict.Picture.Kind(), TfrPictureKind::Metafile);

    pict.LoadFromBlob(TfrBlobData{true, {}});
    EXPECT_TRUE(pict.Picture.Empty());
}

TEST_F(Pictures, LoadFromFileMethodTakesAnExpressionForTheName) {
    const std::string path = WriteTemp("picture_view_test.jpg", gdi_test::EncodeJpeg(Checker()));
    frEngineHooks().Calculate = [&](const std::string& e) -> TVariant {
        if (e == "[Photo]") return path;
        if (e == "[Missing]") return std::string(TEST_OUTPUT_DIR) + "/no such picture.bmp";
        return std::string();
    };
    TfrPictureView pict;
    pict.CallMethod("LOADFROMFILE", "[Photo]", {}, {});
    EXPECT_EQ(pict.Picture.Kind(), TfrPictureKind::JPEG);
    pict.CallMethod("LOADFROMFILE", "[Missing]", {}, {});
    EXPECT_TRUE(pict.Picture.Empty());
    pict.CallMethod("LOADFROMFILE", "[Photo]", {}, {});
    pict.CallMethod("LOADFROMFILE", "''", {}, {});
    EXPECT_TRUE(pict.Picture.Empty());

    // A file that is no picture is an error, not a silent blank.
    const std::string text = WriteTemp("picture_view_test.txt", "hello");
    frEngineHooks().Calculate = [&](const std::string&) -> TVariant { return text; };
    EXPECT_THROW(pict.CallMethod("LOADFROMFILE", "x", {}, {}), EfrPictureError);
}

TEST_F(Pictures, PicturePropertyPassesPicturesBetweenObjects) {
    TfrPictureView a, b;
    a.Picture.LoadFromBytes(TfrPictureKind::Bitmap, Encoded(Checker(), "BMP"));
    const TVariant handle = a.ReadProperty("Picture");
    ASSERT_EQ(handle.VarType(), rtl::TVarType::Integer);
    b.WriteProperty("PICTURE", handle);
    EXPECT_EQ(b.Picture.Bytes(), a.Picture.Bytes());
    EXPECT_EQ(b.Picture.Width(), 24);

    // A number that names no picture (a stale one, or any integer) changes nothing.
    int32_t stale = 0;
    {
        TfrPictureView gone;
        stale = gone.Picture.Handle();
    }
    b.WriteProperty("Picture", stale);
    b.WriteProperty("Picture", 123456789);
    EXPECT_EQ(b.Picture.Width(), 24);
}

TEST_F(Pictures, DetectKindReadsTheFileSignature) {
    EXPECT_EQ(TfrPicture::DetectKind("BM...."), TfrPictureKind::Bitmap);
    EXPECT_EQ(TfrPicture::DetectKind(gdi_test::EncodeJpeg(Checker())), TfrPictureKind::JPEG);
    EXPECT_EQ(TfrPicture::DetectKind(Encoded(QImage(16, 16, QImage::Format_ARGB32), "ICO")),
              TfrPictureKind::Icon);
    EXPECT_EQ(TfrPicture::DetectKind(EmfHeader()), TfrPictureKind::Metafile);
    EXPECT_EQ(TfrPicture::DetectKind(Bytes().i32(0x9AC6CDD7).str()), TfrPictureKind::Metafile);
    EXPECT_EQ(TfrPicture::DetectKind("GIF89a"), TfrPictureKind::None);
    EXPECT_EQ(TfrPicture::DetectKind(""), TfrPictureKind::None);
}
