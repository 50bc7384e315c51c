#pragma once
// Byte streams: a base with little-endian reads and writes, a memory stream
// and a file stream, plus the string encodings of the template and prepared
// report formats.
//
// Every read checks its length against what is left and raises EReadError
// when the stream ends first, so a truncated or damaged file gives a clear
// error, never a crash or a huge allocation.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class QFile;
class QString;

namespace rtl {

class TStringList;

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// The stream ended before everything asked for was read.
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Read and Write move up to count bytes and return how many they moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position. Positions past the end are allowed (a write
    // there fills the gap with zeros); a negative one raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
    virtual void SetSize(int64_t size) = 0;

    void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    int64_t Remaining() const;

    // All or nothing: EReadError / EWriteError when not every byte moves.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // count bytes; checked against what is left before anything is allocated.
    std::string ReadBytes(int64_t count);
    void WriteBytes(std::string_view bytes) {
        WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    // Moves forward over count bytes that must be there.
    void Skip(int64_t count);

    uint8_t ReadByte();
    int8_t ReadInt8() { return static_cast<int8_t>(ReadByte()); }
    uint16_t ReadUInt16();
    int16_t ReadInt16() { return static_cast<int16_t>(ReadUInt16()); }
    uint32_t ReadUInt32();
    int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
    int64_t ReadInt64();
    double ReadDouble();
    // 16-bit Boolean: zero is false, anything else true.
    bool ReadWordBool() { return ReadUInt16() != 0; }

    void WriteByte(uint8_t v) { WriteBuffer(&v, 1); }
    void WriteInt8(int8_t v) { WriteByte(static_cast<uint8_t>(v)); }
    void WriteUInt16(uint16_t v);
    void WriteInt16(int16_t v) { WriteUInt16(static_cast<uint16_t>(v)); }
    void WriteUInt32(uint32_t v);
    void WriteInt32(int32_t v) { WriteUInt32(static_cast<uint32_t>(v)); }
    void WriteInt64(int64_t v);
    void WriteDouble(double v);
    void WriteWordBool(bool v) { WriteUInt16(v ? 1 : 0); }

    // Copies count bytes from source's position; count 0 copies all of
    // source from its start. Returns the number copied.
    int64_t CopyFrom(TStream& source, int64_t count);

protected:
    // Position an origin-relative seek lands on; EStreamError when negative.
    int64_t TargetPosition(int64_t offset, TSeekOrigin origin) const;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override { return position_; }
    int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
    // Growing fills with zeros; shrinking below the position moves it to the end.
    void SetSize(int64_t size) override;

    void Clear();
    const uint8_t* Memory() const { return data_.data(); }
    uint8_t* Memory() { return data_.data(); }
    // The whole content, whatever the position.
    std::string Bytes() const { return std::string(data_.begin(), data_.end()); }

    // Replaces the content with all of source (from its start); position 0.
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& target) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<uint8_t> data_;
    int64_t position_ = 0;
};

// Open modes; the share flags are accepted and ignored.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyNone = 0x0040;
// Creates the file, or empties an existing one, for reading and writing.
constexpr uint16_t fmCreate = 0xFF00;

// A file on disk. The name is CP936 text, as the engine keeps file names, or
// a QString straight from the user interface (which can name files that
// CP936 cannot spell). Writes are buffered: call Flush to learn of a failed
// write before dropping the stream; the destructor flushes quietly.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& cp936FileName, uint16_t mode);
    TFileStream(const char* cp936FileName, uint16_t mode)
        : TFileStream(std::string(cp936FileName), mode) {}
    TFileStream(const QString& fileName, uint16_t mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Position() const override;
    int64_t Size() const override;
    void SetSize(int64_t size) override;

    // EWriteError when buffered data cannot be written.
    void Flush();
    // CP936 form of the name, for messages.
    const std::string& FileName() const { return fileName_; }

private:
    void Open(const QString& fileName, uint16_t mode);

    std::unique_ptr<QFile> file_;
    std::string fileName_;
};

// String encodings of the template and prepared report formats. Writers
// always use the current layout; readers take the stream's format version.
//
// string (version >= 23, and every "new string"): 16-bit length L, L bytes,
// one byte 0. Older versions: the bytes up to a 0 byte.
std::string frReadString(TStream& stream, int version);
void frWriteString(TStream& stream, std::string_view s);
std::string frReadNewString(TStream& stream);
void frWriteNewString(TStream& stream, std::string_view s);

// Short string: a length byte and that many bytes.
std::string frReadShortString(TStream& stream);
void frWriteShortString(TStream& stream, std::string_view s);

// Word string: a 16-bit length and that many bytes, no terminator (the
// template's information block).
std::string frReadWordString(TStream& stream);
void frWriteWordString(TStream& stream, std::string_view s);

// String list. Version >= 23: 16-bit count N, then N lines of a 16-bit length
// and the bytes, a byte 13 between lines and a byte 0 after the last (for
// N = 0 just the 0 byte); reading stops at the 0 separator, not at the count.
// Older versions: the lines' bytes, each line ended by a byte 13, the whole
// ended by a byte 0 that ends a last line only when it is not empty.
void frReadMemo(TStream& stream, TStringList& lines, int version);
void frWriteMemo(TStream& stream, const TStringList& lines);

} // namespace rtl
