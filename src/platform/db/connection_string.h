#pragma once
// The OLE DB connection string the main window builds:
// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;Persist Security Info=False
//  [;Jet OLEDB:Database Password=<pw>]".

#include <string>
#include <string_view>

namespace db {

struct TConnectionParams {
    std::string Provider;   // as written
    std::string DataSource; // CP936 file name
    bool HasPassword = false;
    std::string Password; // CP936, exactly as written
};

// Keys are matched without regard to ASCII case and surrounding blanks;
// values are trimmed of blanks unless quoted ("..." or '...', a doubled
// quote inside stands for one); the last of repeated keys wins; keys this
// layer does not use are ignored. Raises EDatabaseError for a malformed
// string, a missing or unsupported provider, or a missing data source.
TConnectionParams ParseConnectionString(std::string_view text);

} // namespace db
