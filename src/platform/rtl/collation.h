#pragma once
// Locale-aware ordering of CP936 text: the Chinese (PRC) collation, ignoring
// letter case. Chinese sorts in pinyin order after digits and Latin letters,
// as users know it from the Windows sort order.

#include <string_view>

namespace rtl {

// < 0, 0 or > 0. Strings that differ only in letter case (or character
// width) compare equal; callers that need a total order break ties with
// CompareText and then CompareStr.
int AnsiCompareText(std::string_view a, std::string_view b);

} // namespace rtl
