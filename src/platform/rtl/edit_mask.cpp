#include "platform/rtl/edit_mask.h"

#include "platform/rtl/locale.h"
#include "platform/text/cp936.h"

#include <algorithm>
#include <vector>

namespace rtl {
namespace {

// Length in bytes of the character starting at i.
size_t CharLen(std::string_view s, size_t i) {
    return text::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

std::vector<std::string_view> SplitChars(std::string_view s) {
    std::vector<std::string_view> r;
    for (size_t i = 0; i < s.size();) {
        const size_t n = CharLen(s, i);
        r.push_back(s.substr(i, n));
        i += n;
    }
    return r;
}

// The mask's fields, split at ';' that is not escaped by '\'.
std::vector<std::string_view> SplitFields(std::string_view mask) {
    std::vector<std::string_view> fields;
    size_t start = 0, i = 0;
    while (i < mask.size()) {
        if (mask[i] == '\\' && i + 1 < mask.size()) {
            i += 1 + CharLen(mask, i + 1);
        } else if (mask[i] == ';') {
            fields.push_back(mask.substr(start, i - start));
            start = ++i;
        } else {
            i += CharLen(mask, i);
        }
    }
    fields.push_back(mask.substr(start));
    return fields;
}

enum class CaseMode { None, Upper, Lower };

struct Item {
    bool slot = false;
    std::string literal; // for literals
    CaseMode mode = CaseMode::None;
};

std::vector<Item> ParsePattern(std::string_view p, bool& fromRight) {
    std::vector<Item> items;
    const TFormatSettings& fs = FormatSettings();
    CaseMode mode = CaseMode::None;
    fromRight = false;
    auto literal = [&](std::string_view t) { items.push_back({false, std::string(t), mode}); };
    for (size_t i = 0; i < p.size();) {
        const size_t n = CharLen(p, i);
        const char c = p[i];
        if (n == 2) {
            literal(p.substr(i, 2));
        } else if (c == '\\') {
            if (i + 1 < p.size()) {
                const size_t m = CharLen(p, i + 1);
                literal(p.substr(i + 1, m));
                i += 1 + m;
            } else {
                ++i;
            }
            continue;
        } else if (c == '!') {
            fromRight = true;
        } else if (c == '>') {
            mode = CaseMode::Upper;
        } else if (c == '<') {
            if (i + 1 < p.size() && p[i + 1] == '>') {
                mode = CaseMode::None;
                i += 2;
                continue;
            }
            mode = CaseMode::Lower;
        } else if (std::string_view("09#LlAaCc").find(c) != std::string_view::npos) {
            items.push_back({true, {}, mode});
        } else if (c == '_') {
            literal(" ");
        } else if (c == '/') {
            literal(std::string_view(&fs.DateSeparator, 1));
        } else if (c == ':') {
            literal(std::string_view(&fs.TimeSeparator, 1));
        } else {
            literal(p.substr(i, 1));
        }
        i += n;
    }
    return items;
}

std::string Cased(std::string_view ch, CaseMode mode) {
    std::string r(ch);
    if (r.size() == 1) {
        const char c = r[0];
        if (mode == CaseMode::Upper && c >= 'a' && c <= 'z') r[0] = static_cast<char>(c - 32);
        if (mode == CaseMode::Lower && c >= 'A' && c <= 'Z') r[0] = static_cast<char>(c + 32);
    }
    return r;
}

} // namespace

std::string FormatMaskText(std::string_view editMask, std::string_view value) {
    const std::vector<std::string_view> fields = SplitFields(editMask);
    const bool saveLiterals = fields.size() < 2 || fields[1].empty() || fields[1][0] != '0';
    const std::string blank(fields.size() > 2 && !fields[2].empty()
                                ? fields[2].substr(0, CharLen(fields[2], 0))
                                : std::string_view(" "));

    bool fromRight = false;
    std::vector<Item> items = ParsePattern(fields[0], fromRight);
    std::vector<std::string_view> chars = SplitChars(value);
    if (fromRight) {
        std::reverse(items.begin(), items.end());
        std::reverse(chars.begin(), chars.end());
    }

    // Pieces in fill order; reversed back at the end when filling from the right.
    std::vector<std::string> pieces;
    size_t next = 0;
    for (const Item& item : items) {
        if (!item.slot) {
            pieces.push_back(item.literal);
            if (saveLiterals && next < chars.size() && chars[next] == item.literal) ++next;
        } else if (next < chars.size()) {
            pieces.push_back(Cased(chars[next++], item.mode));
        } else {
            pieces.push_back(blank);
        }
    }
    while (next < chars.size()) pieces.emplace_back(chars[next++]);
    if (fromRight) std::reverse(pieces.begin(), pieces.end());

    std::string r;
    for (const std::string& piece : pieces) r += piece;
    return r;
}

} // namespace rtl
