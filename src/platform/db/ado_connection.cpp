#include "platform/db/ado_connection.h"

#include "platform/db/ado_query.h"
#include "platform/db/backend.h"
#include "platform/db/connection_string.h"
#include "platform/db/database_error.h"
#include "platform/text/cp936.h"

#include <algorithm>

namespace db {

TADOConnection::TADOConnection() = default;

TADOConnection::~TADOConnection() {
    Close();
    for (TADOQuery* q : std::vector<TADOQuery*>(queries_)) q->SetConnection(nullptr);
}

void TADOConnection::SetConnectionString(std::string text) {
    Close();
    connectionString_ = std::move(text);
}

void TADOConnection::Open() {
    if (backend_) return;
    const TConnectionParams params = ParseConnectionString(connectionString_);
    // The program hands over CP936; the file system takes UTF-8.
    backend_ = OpenDatabaseFile(text::Cp936ToUtf8(params.DataSource), params.DataSource,
                                params.HasPassword, params.Password);
}

void TADOConnection::Close() {
    for (TADOQuery* q : std::vector<TADOQuery*>(queries_)) q->Close();
    backend_.reset();
}

std::vector<std::string> TADOConnection::GetTableNames() const {
    if (!backend_) throw EDatabaseError("Connection is not open");
    return backend_->TableNames();
}

Backend& TADOConnection::GetBackend() {
    if (!backend_) throw EDatabaseError("Connection is not open");
    return *backend_;
}

void TADOConnection::Attach(TADOQuery* query) {
    if (std::find(queries_.begin(), queries_.end(), query) == queries_.end())
        queries_.push_back(query);
}

void TADOConnection::Detach(TADOQuery* query) {
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

} // namespace db
