#include "platform/rtl/collation.h"

#include "platform/text/cp936.h"

#include <QChar>
#include <QCollator>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace rtl {
namespace {

// Every CP936 character gets a rank once: the zh_CN collator orders all of
// them, case-insensitively, and Han characters are then moved behind every
// other script (the collator itself puts them before Latin). Comparing two
// strings is a walk over ranks, so sorting thousands of lines costs no
// collator calls at all.
//
// Index layout: 0..255 single bytes, then 256 + (lead - 0x81) * 256 + trail.
constexpr int kSingleCount = 256;
constexpr int kTableSize = kSingleCount + 126 * 256;

constexpr uint32_t kHanBase = 1u << 24;      // after every other script
constexpr uint32_t kUnmappedBase = 1u << 25; // bytes that are no character

int DoubleIndex(unsigned char lead, unsigned char trail) {
    return kSingleCount + (lead - 0x81) * 256 + trail;
}

bool IsHan(const QString& s) {
    if (s.isEmpty()) return false;
    const char32_t c = s.at(0).isHighSurrogate() && s.size() > 1
                           ? QChar::surrogateToUcs4(s.at(0), s.at(1))
                           : s.at(0).unicode();
    return QChar::script(c) == QChar::Script_Han;
}

std::vector<uint32_t> BuildRanks() {
    std::vector<uint32_t> ranks(kTableSize, 0);
    struct Entry {
        int index;
        bool han;
        std::optional<QCollatorSortKey> key;
    };
    std::vector<Entry> entries;
    entries.reserve(24000);

    QCollator collator{QLocale(QLocale::Chinese, QLocale::China)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);

    auto add = [&](int index, std::string_view bytes) {
        const QString s = text::Cp936ToQString(bytes);
        // Bytes that do not decode to one character come back as '?' (and
        // perhaps a stray trail byte): rank them by byte value.
        const bool one = s.size() == 1 || (s.size() == 2 && s.at(0).isHighSurrogate());
        if (!one || (s == QLatin1String("?") && bytes != "?")) {
            ranks[index] = kUnmappedBase + static_cast<uint32_t>(index);
            return;
        }
        entries.push_back({index, IsHan(s), collator.sortKey(s)});
    };

    for (int b = 0; b < 0x80; ++b) {
        const char c = static_cast<char>(b);
        add(b, std::string_view(&c, 1));
    }
    for (int b = 0x80; b < kSingleCount; ++b)
        ranks[b] = kUnmappedBase + static_cast<uint32_t>(b); // lone high bytes
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const int index =
                DoubleIndex(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail));
            if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
                ranks[index] = kUnmappedBase + static_cast<uint32_t>(index);
                continue;
            }
            const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            add(index, std::string_view(pair, 2));
        }
    }

    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.han != b.han) return !a.han;
        const int c = a.key->compare(*b.key);
        return c != 0 ? c < 0 : a.index < b.index;
    });
    uint32_t rank = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && (entries[i].han != entries[i - 1].han ||
                      entries[i].key->compare(*entries[i - 1].key) != 0))
            ++rank;
        ranks[entries[i].index] = (entries[i].han ? kHanBase : 0) + rank;
    }
    return ranks;
}

const std::vector<uint32_t>& Ranks() {
    static const std::vector<uint32_t> ranks = BuildRanks();
    return ranks;
}

// Rank of the character starting at s[i]; advances i past it.
uint32_t NextRank(const std::vector<uint32_t>& ranks, std::string_view s, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (text::IsLeadByte(c) && i + 1 < s.size()) {
        const unsigned char t = static_cast<unsigned char>(s[i + 1]);
        i += 2;
        return ranks[DoubleIndex(c, t)];
    }
    ++i;
    return ranks[c];
}

} // namespace

int AnsiCompareText(std::string_view a, std::string_view b) {
    const std::vector<uint32_t>& ranks = Ranks();
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const uint32_t ra = NextRank(ranks, a, i);
        const uint32_t rb = NextRank(ranks, b, j);
        if (ra != rb) return ra < rb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

} // namespace rtl
