#pragma once
// The statements the program sends to the database, in Jet's SQL syntax:
//   select * from [T]
//   select [B] as [NUM],[L] as [Title] from [T]
//   ... where [C] like "%x%" and [D] like "%y%"
// Keywords ignore case; names may be bracketed (a doubled "]" stands for one)
// or bare; texts take double or single quotes (a doubled quote stands for
// one). Anything else is refused.

#include <string>
#include <string_view>
#include <vector>

namespace db {

struct TSelectItem {
    std::string Column; // as written (CP936)
    std::string Alias;  // empty: the column's own name
};

struct TLikeCondition {
    std::string Column;
    std::string Pattern;
};

struct TSelectStatement {
    bool AllColumns = false; // "select *"
    std::vector<TSelectItem> Items;
    std::string Table;
    std::vector<TLikeCondition> Where; // all must hold
};

// Raises EDatabaseError naming what is wrong and where.
TSelectStatement ParseSelect(std::string_view sql);

// Jet's LIKE: '%' matches any run of characters, '_' exactly one; ASCII
// letters match either case; a CP936 double-byte character is one character.
bool LikeMatch(std::string_view text, std::string_view pattern);

} // namespace db
