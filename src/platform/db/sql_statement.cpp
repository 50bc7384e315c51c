#include "platform/db/sql_statement.h"

#include "platform/db/database_error.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

namespace db {
namespace {

std::size_t UnitLength(std::string_view s, std::size_t i) {
    return text::IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

bool IsNameByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c >= 0x80;
}

class Parser {
public:
    explicit Parser(std::string_view sql) : s_(sql) {}

    TSelectStatement Parse() {
        TSelectStatement st;
        SkipBlanks();
        if (!TakeKeyword("select")) Fail("the statement must start with SELECT");
        SkipBlanks();
        if (Peek() == '*') {
            ++pos_;
            st.AllColumns = true;
        } else {
            for (;;) {
                TSelectItem item;
                item.Column = Name("a column name");
                SkipBlanks();
                if (TakeKeyword("as")) item.Alias = Name("an alias after AS");
                st.Items.push_back(std::move(item));
                SkipBlanks();
                if (Peek() != ',') break;
                ++pos_;
            }
        }
        SkipBlanks();
        if (!TakeKeyword("from")) Fail("expected FROM");
        st.Table = Name("a table name after FROM");
        SkipBlanks();
        if (TakeKeyword("where")) {
            for (;;) {
                TLikeCondition cond;
                cond.Column = Name("a column name in WHERE");
                SkipBlanks();
                if (!TakeKeyword("like")) Fail("expected LIKE");
                SkipBlanks();
                cond.Pattern = QuotedText();
                st.Where.push_back(std::move(cond));
                SkipBlanks();
                if (!TakeKeyword("and")) break;
            }
        }
        SkipBlanks();
        if (Peek() == ';') {
            ++pos_;
            SkipBlanks();
        }
        if (pos_ < s_.size()) Fail("unexpected text at the end of the statement");
        return st;
    }

private:
    char Peek() const { return pos_ < s_.size() ? s_[pos_] : '\0'; }

    void SkipBlanks() {
        while (pos_ < s_.size() &&
               (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r' || s_[pos_] == '\n'))
            ++pos_;
    }

    // A keyword followed by something that cannot continue a bare name.
    bool TakeKeyword(std::string_view word) {
        if (s_.size() - pos_ < word.size()) return false;
        if (!rtl::SameText(s_.substr(pos_, word.size()), word)) return false;
        const std::size_t end = pos_ + word.size();
        if (end < s_.size() && IsNameByte(static_cast<unsigned char>(s_[end]))) return false;
        pos_ = end;
        return true;
    }

    std::string Name(const char* what) {
        SkipBlanks();
        if (Peek() == '[') {
            const std::size_t start = ++pos_;
            std::string name;
            for (;;) {
                if (pos_ >= s_.size()) {
                    pos_ = start - 1;
                    Fail("missing ']' after a name");
                }
                if (s_[pos_] == ']') {
                    // "]]" stands for one "]" inside the name (SQLite names may hold one).
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == ']') {
                        name += ']';
                        pos_ += 2;
                        continue;
                    }
                    break;
                }
                if (s_[pos_] == '[') Fail("a name may not contain '['");
                const std::size_t n = UnitLength(s_, pos_);
                name.append(s_.substr(pos_, n));
                pos_ += n;
            }
            ++pos_;
            if (rtl::Trim(name).empty()) {
                pos_ = start - 1;
                Fail("empty name in brackets");
            }
            return name;
        }
        const std::size_t start = pos_;
        if (pos_ < s_.size() && IsNameByte(static_cast<unsigned char>(s_[pos_])) &&
            !(s_[pos_] >= '0' && s_[pos_] <= '9')) {
            while (pos_ < s_.size() && IsNameByte(static_cast<unsigned char>(s_[pos_])))
                pos_ += UnitLength(s_, pos_);
        }
        if (pos_ == start) Fail(std::string("expected ") + what);
        return std::string(s_.substr(start, pos_ - start));
    }

    std::string QuotedText() {
        const char quote = Peek();
        if (quote != '"' && quote != '\'') Fail("expected a quoted text after LIKE");
        const std::size_t start = pos_++;
        std::string out;
        for (;;) {
            if (pos_ >= s_.size()) {
                pos_ = start;
                Fail("the quoted text is not closed");
            }
            if (s_[pos_] == quote) {
                if (pos_ + 1 < s_.size() && s_[pos_ + 1] == quote) {
                    out.push_back(quote);
                    pos_ += 2;
                    continue;
                }
                ++pos_;
                return out;
            }
            const std::size_t n = UnitLength(s_, pos_);
            out.append(s_.substr(pos_, n));
            pos_ += n;
        }
    }

    [[noreturn]] void Fail(const std::string& problem) const {
        std::string near;
        std::size_t p = pos_;
        while (p < s_.size() && near.size() < 40) {
            const std::size_t n = UnitLength(s_, p);
            near.append(s_.substr(p, n));
            p += n;
        }
        std::string msg = "Syntax error in query: " + problem;
        if (p < s_.size()) near += "...";
        msg += near.empty() ? " (at the end of the statement)" : " near '" + near + "'";
        throw EDatabaseError(msg);
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

unsigned char Fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

bool SameUnit(std::string_view a, std::size_t ai, std::size_t an, std::string_view b,
              std::size_t bi, std::size_t bn) {
    if (an != bn) return false;
    if (an == 1)
        return Fold(static_cast<unsigned char>(a[ai])) == Fold(static_cast<unsigned char>(b[bi]));
    return a.compare(ai, an, b, bi, bn) == 0;
}

} // namespace

TSelectStatement ParseSelect(std::string_view sql) {
    return Parser(sql).Parse();
}

bool LikeMatch(std::string_view text, std::string_view pattern) {
    std::size_t t = 0, p = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            starP = ++p;
            starT = t;
            continue;
        }
        const std::size_t tn = UnitLength(text, t);
        if (p < pattern.size()) {
            const std::size_t pn = UnitLength(pattern, p);
            if ((pn == 1 && pattern[p] == '_') || SameUnit(text, t, tn, pattern, p, pn)) {
                t += tn;
                p += pn;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        // Let the last '%' take one more character and retry from there.
        p = starP;
        starT += UnitLength(text, starT);
        t = starT;
    }
    while (p < pattern.size() && pattern[p] == '%') ++p;
    return p == pattern.size();
}

} // namespace db
