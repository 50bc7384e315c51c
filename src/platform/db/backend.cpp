#include "platform/db/backend.h"

#include "platform/db/database_error.h"
#include "platform/db/jet_header.h"
#include "platform/rtl/sysutils.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace db {

std::size_t FindName(const std::vector<std::string>& names, std::string_view name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return i;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (rtl::SameText(names[i], name)) return i;
    return kNotFound;
}

const std::string& Backend::TableName(std::size_t table) const {
    const std::vector<std::string>& user = TableNames();
    if (table < user.size()) return user[table];
    const std::vector<std::string>& system = SystemTableNames();
    if (table - user.size() < system.size()) return system[table - user.size()];
    throw EDatabaseError("table index out of range");
}

std::size_t Backend::FindTable(std::string_view name) const {
    const std::size_t user = FindName(TableNames(), name);
    if (user != kNotFound) return user;
    const std::size_t system = FindName(SystemTableNames(), name);
    return system == kNotFound ? kNotFound : TableNames().size() + system;
}

std::unique_ptr<Backend> OpenDatabaseFile(const std::string& utf8Path,
                                          const std::string& displayName, bool hasPassword,
                                          const std::string& password) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(utf8Path, ec))
        throw EDatabaseError("Could not find file '" + displayName + "'.");
    std::ifstream in(utf8Path, std::ios::binary);
    if (!in) throw EDatabaseError("Could not open file '" + displayName + "'.");
    char head[32] = {};
    in.read(head, sizeof head);
    const std::string_view sig(head, static_cast<std::size_t>(in.gcount()));
    in.close();

    static const char kSqliteMagic[] = "SQLite format 3"; // with its NUL: 16 bytes
    if (sig.size() >= sizeof kSqliteMagic &&
        std::memcmp(sig.data(), kSqliteMagic, sizeof kSqliteMagic) == 0)
        return OpenSqliteFile(utf8Path, displayName);
    if (jet::HasJetSignature(sig))
        return OpenAccessFile(utf8Path, displayName, hasPassword, password);
    throw EDatabaseError("Unrecognized database format '" + displayName +
                         "': it is neither an Access nor a SQLite database");
}

} // namespace db
