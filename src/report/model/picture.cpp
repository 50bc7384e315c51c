#include "report/model/picture.h"

#include "platform/gdi/jpeg_decoder.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"

#include <QFile>
#include <cstring>
#include <unordered_map>

namespace {

std::unordered_map<int32_t, TfrPicture*>& Handles() {
    return frPictureHandles().ByNumber;
}

int32_t NextHandle() {
    return ++frPictureHandles().Last;
}

uint32_t U32(std::string_view b, std::size_t at) {
    if (at + 4 > b.size()) return 0;
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v; // little-endian machines only, as the file formats
}

int32_t I32(std::string_view b, std::size_t at) {
    return static_cast<int32_t>(U32(b, at));
}

int16_t I16(std::string_view b, std::size_t at) {
    if (at + 2 > b.size()) return 0;
    int16_t v;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

// The frame of a metafile in pixels at 96 per inch, from its header.
void MetafileSize(std::string_view b, int& width, int& height) {
    width = height = 0;
    if (U32(b, 0) == 0x9AC6CDD7u) {
        // Placeable metafile: bounding box in units of `inch` per inch.
        const int inch = static_cast<uint16_t>(I16(b, 14));
        if (inch <= 0) return;
        width = (I16(b, 10) - I16(b, 6)) * 96 / inch;
        height = (I16(b, 12) - I16(b, 8)) * 96 / inch;
    } else if (U32(b, 0) == 1 && U32(b, 40) == 0x464D4520u) {
        // Enhanced metafile: frame in hundredths of a millimetre.
        const long long w = static_cast<long long>(I32(b, 32)) - I32(b, 24);
        const long long h = static_cast<long long>(I32(b, 36)) - I32(b, 28);
        width = static_cast<int>(w * 96 / 2540);
        height = static_cast<int>(h * 96 / 2540);
    }
    if (width < 0 || height < 0) width = height = 0;
}

} // namespace

TfrPicture::TfrPicture() : handle_(NextHandle()) {
    Handles()[handle_] = this;
}

TfrPicture::~TfrPicture() {
    Handles().erase(handle_);
}

TfrPicture* TfrPicture::FromHandle(int32_t handle) {
    auto it = Handles().find(handle);
    return it == Handles().end() ? nullptr : it->second;
}

void TfrPicture::Clear() {
    kind_ = TfrPictureKind::None;
    bytes_.clear();
    image_ = QImage();
    width_ = height_ = 0;
}

void TfrPicture::Assign(const TfrPicture& source) {
    if (&source == this) return;
    kind_ = source.kind_;
    bytes_ = source.bytes_;
    image_ = source.image_;
    width_ = source.width_;
    height_ = source.height_;
}

void TfrPicture::LoadFromBytes(TfrPictureKind kind, std::string bytes) {
    Clear();
    if (kind == TfrPictureKind::None) return;
    kind_ = kind;
    bytes_ = std::move(bytes);
    const auto* data = reinterpret_cast<const uchar*>(bytes_.data());
    const int size = static_cast<int>(bytes_.size());
    switch (kind) {
    case TfrPictureKind::Bitmap:
        image_ = QImage::fromData(data, size, "BMP");
        break;
    case TfrPictureKind::Icon:
        image_ = QImage::fromData(data, size, "ICO");
        break;
    case TfrPictureKind::JPEG:
        image_ = gdi::DecodeJpeg(bytes_);
        break;
    case TfrPictureKind::Metafile:
        MetafileSize(bytes_, width_, height_);
        return;
    case TfrPictureKind::None:
        break;
    }
    width_ = image_.width();
    height_ = image_.height();
}

TfrPictureKind TfrPicture::DetectKind(std::string_view b) {
    const auto starts = [b](std::string_view sig) { return b.substr(0, sig.size()) == sig; };
    if (starts("BM")) return TfrPictureKind::Bitmap;
    if (starts("\xFF\xD8\xFF")) return TfrPictureKind::JPEG;
    if (starts(std::string_view("\0\0\1\0", 4))) return TfrPictureKind::Icon;
    if (U32(b, 0) == 0x9AC6CDD7u || (U32(b, 0) == 1 && U32(b, 40) == 0x464D4520u) ||
        starts(std::string_view("\1\0\x09\0", 4)) || starts(std::string_view("\2\0\x09\0", 4)))
        return TfrPictureKind::Metafile;
    return TfrPictureKind::None;
}

void TfrPicture::LoadFromFile(const std::string& cp936FileName) {
    QFile file(text::Cp936ToQString(cp936FileName));
    if (!file.open(QIODevice::ReadOnly))
        throw EfrPictureError("Cannot open file \"" + cp936FileName + "\"");
    const QByteArray data = file.readAll();
    std::string bytes(data.constData(), static_cast<std::size_t>(data.size()));
    const TfrPictureKind kind = DetectKind(bytes);
    if (kind == TfrPictureKind::None) throw EfrPictureError("Unknown picture file format");
    LoadFromBytes(kind, std::move(bytes));
}
