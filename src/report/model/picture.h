#pragma once
// The picture a picture object holds: a bitmap, metafile, icon or JPEG image
// kept as the bytes of its own file format, so a template stores it back
// byte for byte, together with the decoded image for painting. Metafiles
// are kept but not decoded (they paint as an empty frame).

#include <QImage>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Image kinds as the picture record stores them.
enum class TfrPictureKind : uint8_t { None = 0, Bitmap = 1, Metafile = 2, Icon = 3, JPEG = 4 };

class EfrPictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TfrPicture {
public:
    TfrPicture();
    ~TfrPicture();
    TfrPicture(const TfrPicture&) = delete;
    TfrPicture& operator=(const TfrPicture&) = delete;

    TfrPictureKind Kind() const { return kind_; }
    bool Empty() const { return kind_ == TfrPictureKind::None; }
    // The image's file bytes, as read.
    const std::string& Bytes() const { return bytes_; }
    // Decoded pixels; null for metafiles and for bytes no decoder could read.
    const QImage& Image() const { return image_; }
    // Size in pixels (metafiles: their frame at 96 pixels per inch).
    int Width() const { return width_; }
    int Height() const { return height_; }

    void Clear();
    void Assign(const TfrPicture& source);
    // Takes the file bytes of an image of the given kind. Bytes that do not
    // decode are kept all the same (and paint nothing).
    void LoadFromBytes(TfrPictureKind kind, std::string bytes);
    // Reads a picture file; its kind is told by its content.
    // EfrPictureError when the file cannot be read or is no known picture.
    void LoadFromFile(const std::string& cp936FileName);
    static TfrPictureKind DetectKind(std::string_view bytes);

    // A number that names this picture for scripts ("PICTURE" property);
    // FromHandle gives it back while the picture exists.
    int32_t Handle() const { return handle_; }
    static TfrPicture* FromHandle(int32_t handle);

private:
    TfrPictureKind kind_ = TfrPictureKind::None;
    std::string bytes_;
    QImage image_;
    int width_ = 0;
    int height_ = 0;
    int32_t handle_;
};
