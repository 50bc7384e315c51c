#include "platform/text/cp936.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace text {
namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// One converter per direction and thread; iconv handles are not shareable.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts, replacing each undecodable or unencodable unit with '?'.
    // skipLength tells how many input bytes the bad unit spans.
    template <class SkipLength> std::string Run(std::string_view in, SkipLength skipLength) {
        std::string out;
        out.reserve(in.size() * 3 / 2 + 8);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (r != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated sequence at the end): replace one unit.
            size_t n = skipLength(reinterpret_cast<const unsigned char*>(src), srcLeft);
            out.push_back('?');
            src += n;
            srcLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

size_t Utf8UnitLength(const unsigned char* p, size_t left) {
    size_t n = 1;
    if (p[0] >= 0xF0 && p[0] <= 0xF7)
        n = 4;
    else if (p[0] >= 0xE0)
        n = 3;
    else if (p[0] >= 0xC2 && p[0] <= 0xDF)
        n = 2;
    // Stop at the first byte that is not a continuation byte, so a bad
    // sequence never swallows the character after it.
    size_t i = 1;
    while (i < n && i < left && (p[i] & 0xC0) == 0x80) ++i;
    return i;
}

size_t Cp936UnitLength(const unsigned char*, size_t) {
    return 1;
}

} // namespace

std::string Utf8ToCp936(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    thread_local Converter conv("CP936", "UTF-8");
    return conv.Run(utf8, Utf8UnitLength);
}

std::string Cp936ToUtf8(std::string_view cp936) {
    if (IsAscii(cp936)) return std::string(cp936);
    thread_local Converter conv("UTF-8", "CP936");
    return conv.Run(cp936, Cp936UnitLength);
}

QString Cp936ToQString(std::string_view cp936) {
    if (IsAscii(cp936))
        return QString::fromLatin1(cp936.data(), static_cast<qsizetype>(cp936.size()));
    const std::string u = Cp936ToUtf8(cp936);
    return QString::fromUtf8(u.data(), static_cast<qsizetype>(u.size()));
}

std::string QStringToCp936(const QString& s) {
    const QByteArray u = s.toUtf8();
    return Utf8ToCp936(std::string_view(u.constData(), static_cast<size_t>(u.size())));
}

} // namespace text
