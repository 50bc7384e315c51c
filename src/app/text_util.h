#pragma once
// Edge helpers between Qt widget text and the engine's CP936 text.

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <QString>

// Trims characters with codes 0..32 only, as the engine's Trim does; an
// ideographic space is a character and stays.
inline QString TrimText(const QString& s) {
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32) ++b;
    while (e > b && s[e - 1].unicode() <= 32) --e;
    return s.mid(b, e - b);
}

inline std::string ToCp936(const QString& s) {
    return text::QStringToCp936(s);
}
inline QString FromCp936(std::string_view s) {
    return text::Cp936ToQString(s);
}
