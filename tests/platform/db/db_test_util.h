#pragma once
// Helpers for the database tests: fixture paths, connection strings, and
// SQLite files made on the spot.

#include "platform/db/ado_connection.h"
#include "platform/db/ado_query.h"
#include "platform/db/database_error.h"
#include "platform/text/cp936.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace dbtest {

inline std::string AccessFixture(const std::string& name) {
    return std::string(SHARED_FIXTURES_DIR) + "/access/" + name;
}

// The main window's connection string; the path and password are CP936.
inline std::string JetConnectionString(const std::string& path, const std::string& password = "") {
    std::string s =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False";
    if (!password.empty()) s += ";Jet OLEDB:Database Password=" + password;
    return s;
}

// Runs a UTF-8 SQL script on a new SQLite file.
inline void MakeSqlite(const std::string& utf8Path, const std::string& script) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(utf8Path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    // No journal and no syncing: the file is scratch.
    const std::string all = "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;" + script;
    const int rc = sqlite3_exec(db, all.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// All rows of an open query as text, fields joined with '|'.
inline std::vector<std::string> Rows(db::TADOQuery& q) {
    std::vector<std::string> rows;
    for (q.First(); !q.Eof(); q.Next()) {
        std::string line;
        for (int i = 0; i < q.FieldCount(); ++i) {
            if (i) line += '|';
            line += q.Fields(i)->AsString();
        }
        rows.push_back(line);
    }
    return rows;
}

// The message of the database error f raises; "(no error)" when it raises none.
template <class F> std::string MessageOf(F f) {
    try {
        f();
    } catch (const db::EDatabaseError& e) {
        return e.what();
    }
    return "(no error)";
}

// Everything written to file descriptor 2 (standard error, where libmdb
// prints) while it lives; Text() ends the capture.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()) {
        std::fflush(stderr);
        saved_ = dup(2);
        if (file_) dup2(fileno(file_), 2);
    }
    ~StderrCapture() { Text(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    std::string Text() {
        if (saved_ < 0) return text_;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        if (file_) {
            std::rewind(file_);
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
                text_.append(buffer, n);
            std::fclose(file_);
            file_ = nullptr;
        }
        return text_;
    }

private:
    std::FILE* file_;
    int saved_ = -1;
    std::string text_;
};

// CP936 from a UTF-8 literal.
inline std::string G(const std::string& utf8) {
    return text::Utf8ToCp936(utf8);
}

} // namespace dbtest
