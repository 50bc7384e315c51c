#include "platform/db/connection_string.h"

#include "platform/db/database_error.h"
#include "platform/rtl/sysutils.h"

namespace db {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

const char* const kProviders[] = {
    "Microsoft.Jet.OLEDB.4.0",
    "Microsoft.ACE.OLEDB.12.0",
    "Microsoft.ACE.OLEDB.16.0",
};

} // namespace

TConnectionParams ParseConnectionString(std::string_view text) {
    TConnectionParams result;
    bool haveProvider = false;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eq = text.find('=', pos);
        size_t semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A piece without "=": only empty pieces (";;", a trailing ";") are fine.
            size_t end = semi == std::string_view::npos ? text.size() : semi;
            std::string_view piece = TrimBlanks(text.substr(pos, end - pos));
            if (!piece.empty())
                throw EDatabaseError("Malformed connection string near '" + std::string(piece) +
                                     "'");
            pos = end + 1;
            continue;
        }
        std::string_view key = TrimBlanks(text.substr(pos, eq - pos));
        size_t p = eq + 1;
        while (p < text.size() && IsBlank(text[p])) ++p;
        std::string value;
        if (p < text.size() && (text[p] == '"' || text[p] == '\'')) {
            const char quote = text[p++];
            bool closed = false;
            while (p < text.size()) {
                if (text[p] == quote) {
                    if (p + 1 < text.size() && text[p + 1] == quote) {
                        value.push_back(quote);
                        p += 2;
                        continue;
                    }
                    ++p;
                    closed = true;
                    break;
                }
                value.push_back(text[p++]);
            }
            if (!closed)
                throw EDatabaseError("Malformed connection string: unclosed quote after '" +
                                     std::string(key) + "='");
            while (p < text.size() && IsBlank(text[p])) ++p;
            if (p < text.size() && text[p] != ';')
                throw EDatabaseError(
                    "Malformed connection string: text after the quoted value of '" +
                    std::string(key) + "'");
        } else {
            size_t end = text.find(';', p);
            if (end == std::string_view::npos) end = text.size();
            value = std::string(TrimBlanks(text.substr(p, end - p)));
            p = end;
        }
        pos = p + 1;
        if (key.empty()) throw EDatabaseError("Malformed connection string: a value without a key");

        if (rtl::SameText(key, "Provider")) {
            result.Provider = value;
            haveProvider = true;
        } else if (rtl::SameText(key, "Data Source")) {
            result.DataSource = value;
        } else if (rtl::SameText(key, "Jet OLEDB:Database Password")) {
            result.Password = value;
            result.HasPassword = true;
        }
    }

    if (!haveProvider || result.Provider.empty())
        throw EDatabaseError("The connection string names no provider");
    bool known = false;
    for (const char* name : kProviders) known = known || rtl::SameText(result.Provider, name);
    if (!known)
        throw EDatabaseError("Provider '" + result.Provider +
                             "' is not supported; use Microsoft.Jet.OLEDB.4.0");
    if (result.DataSource.empty())
        throw EDatabaseError("The connection string names no database file (Data Source)");
    return result;
}

} // namespace db
