#pragma once
// The database connection, with the vocabulary of the ADO component the
// program was written against. A file is opened by its content: Access
// (Jet 3, Jet 4, ACE) through libmdb, or SQLite 3.
//
// Texts (connection string, table names, messages of EDatabaseError) are
// CP936, like everything else the program handles.

#include <memory>
#include <string>
#include <vector>

namespace db {

class Backend;
class TADOQuery;

class TADOConnection {
public:
    TADOConnection();
    ~TADOConnection();
    TADOConnection(const TADOConnection&) = delete;
    TADOConnection& operator=(const TADOConnection&) = delete;

    // "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<path>;Persist Security
    // Info=False[;Jet OLEDB:Database Password=<pw>]". Setting it closes an
    // open connection.
    void SetConnectionString(std::string text);
    const std::string& ConnectionString() const { return connectionString_; }

    // Opens the file the connection string names; nothing when already
    // open. An Access file protected by a database password opens only with
    // exactly that password; a password given for a file without one (or
    // for a SQLite file) is accepted. Raises EDatabaseError and stays closed
    // on failure.
    void Open();
    // Closes the queries on this connection too.
    void Close();
    bool Connected() const { return backend_ != nullptr; }

    // User tables and views in the file's order, without system tables.
    // Saved queries of Access files are left out: only their stored form is
    // in the file, and this layer runs no query language beyond the program's
    // own statements. Raises EDatabaseError when not connected.
    std::vector<std::string> GetTableNames() const;

    // For TADOQuery.
    Backend& GetBackend();
    void Attach(TADOQuery* query);
    void Detach(TADOQuery* query);

private:
    std::string connectionString_;
    std::unique_ptr<Backend> backend_;
    std::vector<TADOQuery*> queries_; // references, not owned
};

} // namespace db
