// Public: part of the engine's interface to the programs built on it.
// jet::Error: the one exception type of the Access file engine.
//
// Every failure of the engine (a damaged file, a refused write, a broken constraint) is thrown as
// a jet::Error carrying a code that callers can branch on and a message that a person can read.
// Messages about a file name the file. The engine knows nothing of the programs that use it; the
// data layer maps these codes to the numbers and wording its own callers expect.
#pragma once

#include <stdexcept>
#include <string>

namespace jet {

enum class ErrorCode {
    Io,                 // the operating system refused a read, write, sync, lock or rename
    NotADatabase,       // not a Jet file at all (wrong magic, too short, a text file)
    Corrupt,            // a Jet file whose structures contradict themselves
    PasswordProtected,  // the database has a password; we never guess one
    Unsupported,  // a valid file using something the engine does not do (encryption, Jet 3 writes)
    ReadOnly,     // a write on a database opened read-only, or on a read-only file or folder
    InUse,        // another process holds the database for writing
    NotFound,     // no table, column or index of that name
    InvalidDefinition,  // a bad CREATE TABLE / CREATE INDEX definition
    DuplicateKey,       // a unique or primary-key index would hold a value twice
    NullNotAllowed,     // a Required column or an index with the required flag got a null
    ZeroLengthNotAllowed,
    TooLong,       // text longer than the column's size, a row larger than a page
    Overflow,      // a number outside the column type's range
    TypeMismatch,  // a value of a kind the column cannot hold
    Relationship,  // referential integrity refused the change
    Transaction,   // misuse of begin/savepoint/commit (commit with none open, ...)
};

class Error : public std::runtime_error {
  public:
    Error(ErrorCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
    ErrorCode code() const noexcept { return code_; }

  private:
    ErrorCode code_;
};

// An error about a file: the message names the file first ("FILE: what is wrong").
inline Error fileError(ErrorCode code, const std::string& file, const std::string& what) {
    return Error(code, file + ": " + what);
}

}  // namespace jet
