#pragma once
// Failures of the database layer.

#include <stdexcept>
#include <string>

namespace db {

// Raised by every failing open, read or move of a connection or query.
// what() is CP936 text, like every other text handed to the program: table
// and column names inside it are quoted exactly as the statement gave them.
class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace db
