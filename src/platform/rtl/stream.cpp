#include "platform/rtl/stream.h"

#include "platform/rtl/string_list.h"
#include "platform/text/cp936.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <bit>
#include <cstring>

namespace rtl {
namespace {

constexpr int64_t kCopyChunk = 64 * 1024;
constexpr size_t kMaxWordLength = 0xFFFF;

[[noreturn]] void ThrowShortRead(int64_t wanted, int64_t at, int64_t size) {
    throw EReadError("Stream read error: " + std::to_string(wanted) + " bytes wanted at offset " +
                     std::to_string(at) + ", the stream ends at " + std::to_string(size));
}

void CheckWordLength(std::string_view s, size_t limit, const char* what) {
    if (s.size() > limit)
        throw EWriteError(std::string("Stream write error: ") + what + " of " +
                          std::to_string(s.size()) + " bytes is longer than the " +
                          std::to_string(limit) + " bytes the format can hold");
}

// Bytes up to a 0 byte, which is consumed. Reads in chunks and steps back,
// so long texts do not cost one call per byte.
std::string ReadZeroTerminated(TStream& stream) {
    std::string r;
    char buffer[256];
    for (;;) {
        const int64_t start = stream.Position();
        const int64_t got = stream.Read(buffer, sizeof buffer);
        if (got <= 0) ThrowShortRead(1, start, stream.Size());
        const void* zero = std::memchr(buffer, 0, static_cast<size_t>(got));
        if (zero) {
            const int64_t n = static_cast<const char*>(zero) - buffer;
            r.append(buffer, static_cast<size_t>(n));
            stream.SetPosition(start + n + 1);
            return r;
        }
        r.append(buffer, static_cast<size_t>(got));
    }
}

} // namespace

// ---- TStream ----

int64_t TStream::Remaining() const {
    return std::max<int64_t>(0, Size() - Position());
}

int64_t TStream::TargetPosition(int64_t offset, TSeekOrigin origin) const {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = Position();
    if (origin == TSeekOrigin::soEnd) base = Size();
    const int64_t target = base + offset;
    if (target < 0)
        throw EStreamError("Stream seek error: position " + std::to_string(target) +
                           " is before the start");
    return target;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count == 0) return;
    const int64_t at = Position();
    if (count < 0 || Read(buffer, count) != count) ThrowShortRead(count, at, Size());
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count == 0) return;
    if (count < 0 || Write(buffer, count) != count)
        throw EWriteError("Stream write error: " + std::to_string(count) +
                          " bytes could not be written");
}

std::string TStream::ReadBytes(int64_t count) {
    if (count < 0 || count > Remaining()) ThrowShortRead(count, Position(), Size());
    std::string r(static_cast<size_t>(count), '\0');
    ReadBuffer(r.data(), count);
    return r;
}

void TStream::Skip(int64_t count) {
    if (count < 0 || count > Remaining()) ThrowShortRead(count, Position(), Size());
    Seek(count, TSeekOrigin::soCurrent);
}

uint8_t TStream::ReadByte() {
    uint8_t b;
    ReadBuffer(&b, 1);
    return b;
}

uint16_t TStream::ReadUInt16() {
    uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t TStream::ReadUInt32() {
    uint8_t b[4];
    ReadBuffer(b, 4);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

int64_t TStream::ReadInt64() {
    uint8_t b[8];
    ReadBuffer(b, 8);
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
    return static_cast<int64_t>(v);
}

double TStream::ReadDouble() {
    return std::bit_cast<double>(ReadInt64());
}

void TStream::WriteUInt16(uint16_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    WriteBuffer(b, 2);
}

void TStream::WriteUInt32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    WriteBuffer(b, 4);
}

void TStream::WriteInt64(int64_t v) {
    uint8_t b[8];
    uint64_t u = static_cast<uint64_t>(v);
    for (uint8_t& x : b) x = static_cast<uint8_t>(u), u >>= 8;
    WriteBuffer(b, 8);
}

void TStream::WriteDouble(double v) {
    WriteInt64(std::bit_cast<int64_t>(v));
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    if (count < 0 || count > source.Remaining())
        ThrowShortRead(count, source.Position(), source.Size());
    std::vector<char> buffer(static_cast<size_t>(std::min(count, kCopyChunk)));
    for (int64_t left = count; left > 0;) {
        const int64_t n = std::min(left, kCopyChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return count;
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::min(count, Size() - position_);
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = position_ + count;
    if (end > Size()) data_.resize(static_cast<size_t>(end), 0);
    std::memcpy(data_.data() + position_, buffer, static_cast<size_t>(count));
    position_ = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    position_ = TargetPosition(offset, origin);
    return position_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Stream size cannot be negative");
    data_.resize(static_cast<size_t>(size), 0);
    if (position_ > size) position_ = size;
}

void TMemoryStream::Clear() {
    data_.clear();
    data_.shrink_to_fit();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    if (&source == this) return;
    source.SetPosition(0);
    std::vector<uint8_t> data(static_cast<size_t>(source.Size()));
    source.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    data_ = std::move(data);
    position_ = 0;
}

void TMemoryStream::SaveToStream(TStream& target) const {
    target.WriteBuffer(data_.data(), Size());
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
    f.Flush();
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& cp936FileName, uint16_t mode)
    : fileName_(cp936FileName) {
    Open(text::Cp936ToQString(cp936FileName), mode);
}

TFileStream::TFileStream(const QString& fileName, uint16_t mode)
    : fileName_(text::QStringToCp936(fileName)) {
    Open(fileName, mode);
}

TFileStream::~TFileStream() = default; // QFile closes and flushes

void TFileStream::Open(const QString& fileName, uint16_t mode) {
    file_ = std::make_unique<QFile>(fileName);
    const bool create = (mode & fmCreate) == fmCreate;
    QIODevice::OpenMode open;
    if (create)
        open = QIODevice::ReadWrite | QIODevice::Truncate;
    else if ((mode & 3) == fmOpenRead)
        open = QIODevice::ReadOnly;
    else // writing in place must not empty the file first
        open = QIODevice::ReadWrite | QIODevice::ExistingOnly;

    QString reason;
    if (QFileInfo(fileName).isDir())
        reason = QStringLiteral("It is a folder");
    else if (!file_->open(open))
        reason = file_->errorString();
    if (reason.isEmpty()) return;
    const std::string message =
        std::string(create ? "Cannot create file \"" : "Cannot open file \"") + fileName_ + "\". " +
        text::QStringToCp936(reason);
    file_.reset();
    if (create) throw EFCreateError(message);
    throw EFOpenError(message);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const qint64 n = file_->read(static_cast<char*>(buffer), count);
    if (n < 0)
        throw EReadError("Cannot read file \"" + fileName_ + "\". " +
                         text::QStringToCp936(file_->errorString()));
    return n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (!file_->isWritable())
        throw EWriteError("Cannot write file \"" + fileName_ + "\". It is open for reading");
    const qint64 n = file_->write(static_cast<const char*>(buffer), count);
    return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t target = TargetPosition(offset, origin);
    if (!file_->seek(target))
        throw EStreamError("Cannot seek in file \"" + fileName_ + "\". " +
                           text::QStringToCp936(file_->errorString()));
    return target;
}

int64_t TFileStream::Position() const {
    return file_->pos();
}

int64_t TFileStream::Size() const {
    return file_->size();
}

void TFileStream::SetSize(int64_t size) {
    if (size < 0) throw EStreamError("Stream size cannot be negative");
    if (!file_->resize(size))
        throw EWriteError("Cannot resize file \"" + fileName_ + "\". " +
                          text::QStringToCp936(file_->errorString()));
}

void TFileStream::Flush() {
    if (file_->isWritable() && !file_->flush())
        throw EWriteError("Cannot write file \"" + fileName_ + "\". " +
                          text::QStringToCp936(file_->errorString()));
}

// ---- string encodings ----

std::string frReadString(TStream& stream, int version) {
    if (version < 23) return ReadZeroTerminated(stream);
    const uint16_t n = stream.ReadUInt16();
    std::string s = stream.ReadBytes(n);
    stream.Skip(1); // the 0 byte
    return s;
}

void frWriteString(TStream& stream, std::string_view s) {
    CheckWordLength(s, kMaxWordLength, "a string");
    stream.WriteUInt16(static_cast<uint16_t>(s.size()));
    stream.WriteBytes(s);
    stream.WriteByte(0);
}

std::string frReadNewString(TStream& stream) {
    return frReadString(stream, 23);
}

void frWriteNewString(TStream& stream, std::string_view s) {
    frWriteString(stream, s);
}

std::string frReadShortString(TStream& stream) {
    return stream.ReadBytes(stream.ReadByte());
}

void frWriteShortString(TStream& stream, std::string_view s) {
    CheckWordLength(s, 0xFF, "a short string");
    stream.WriteByte(static_cast<uint8_t>(s.size()));
    stream.WriteBytes(s);
}

std::string frReadWordString(TStream& stream) {
    return stream.ReadBytes(stream.ReadUInt16());
}

void frWriteWordString(TStream& stream, std::string_view s) {
    CheckWordLength(s, kMaxWordLength, "a string");
    stream.WriteUInt16(static_cast<uint16_t>(s.size()));
    stream.WriteBytes(s);
}

void frReadMemo(TStream& stream, TStringList& lines, int version) {
    lines.Clear();
    if (version < 23) {
        const std::string all = ReadZeroTerminated(stream);
        size_t start = 0;
        for (size_t cr; (cr = all.find('\r', start)) != std::string::npos; start = cr + 1)
            lines.Add(std::string_view(all).substr(start, cr - start));
        if (start < all.size()) lines.Add(std::string_view(all).substr(start));
        return;
    }
    // The count only tells an empty list from a non-empty one; the
    // separators decide where the list ends.
    if (stream.ReadUInt16() == 0) {
        stream.Skip(1);
        return;
    }
    for (;;) {
        const uint16_t n = stream.ReadUInt16();
        lines.Add(stream.ReadBytes(n));
        if (stream.ReadByte() == 0) return;
    }
}

void frWriteMemo(TStream& stream, const TStringList& lines) {
    for (int i = 0; i < lines.Count(); ++i) CheckWordLength(lines[i], kMaxWordLength, "a line");
    // Readers go by the separators, so a count beyond 16 bits is capped
    // rather than wrapped (a wrapped 0 would read as an empty list).
    const int n = lines.Count();
    stream.WriteUInt16(static_cast<uint16_t>(std::min(n, 0xFFFF)));
    for (int i = 0; i < n; ++i) {
        stream.WriteUInt16(static_cast<uint16_t>(lines[i].size()));
        stream.WriteBytes(lines[i]);
        stream.WriteByte(i + 1 < n ? 13 : 0);
    }
    if (n == 0) stream.WriteByte(0);
}

} // namespace rtl
