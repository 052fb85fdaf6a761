#include "data/errors.h"

#include <array>

namespace data {
namespace {

constexpr const char* kJet = "Microsoft JET Database Engine";
constexpr const char* kRecordset = "ADODB.Recordset";
constexpr const char* kField = "ADODB.Field";
constexpr const char* kConnection = "ADODB.Connection";
constexpr const char* kRuntime = "VELTRA";

struct Entry {
    Fault fault;
    int number;
    const char* source;
    const char* wording;
};

// The one table of numbers and wordings. Kept in the order of the enum.
constexpr std::array kTable = {
    Entry{Fault::Overflow, 6, kRuntime, "Overflow"},
    Entry{Fault::TypeMismatch, 13, kRuntime, "Type mismatch"},
    Entry{Fault::InvalidUseOfNull, 94, kRuntime, "Invalid use of Null"},
    Entry{Fault::ProviderNotFound, 3706, kConnection,
          "Provider cannot be found. It may not be properly installed. (|)"},
    Entry{Fault::ArgumentsWrong, 3001, kRecordset,
          "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
          "one another."},
    Entry{Fault::NoCurrentRecord, 3021, kRecordset,
          "Either BOF or EOF is True, or the current record has been deleted. Requested "
          "operation requires a current record."},
    Entry{Fault::DuplicateKey, 3022, kJet,
          "The changes you requested to the table were not successful because they would create "
          "duplicate values in the index, primary key, or relationship. Change the data in the "
          "field or fields that contain duplicate data, remove the index, or redefine the index "
          "to permit duplicate entries and try again."},
    Entry{Fault::FileNotFound, 3024, kJet, "Could not find file '|'."},
    Entry{Fault::CannotUpdate, 3027, kJet, "Cannot update. Database or object is read-only."},
    Entry{Fault::NoTransaction, 3034, kJet,
          "You tried to commit or rollback a transaction without first beginning a transaction."},
    Entry{Fault::DiskError, 3043, kJet, "Disk or network error. (|)"},
    Entry{Fault::CannotOpenDatabase, 3049, kJet,
          "Cannot open database '|'. It may not be a database that your application recognizes, "
          "or the file may be corrupt."},
    Entry{Fault::FileInUse, 3051, kJet,
          "The Microsoft Jet database engine cannot open the file '|'. It is already opened "
          "exclusively by another user, or you need permission to view its data."},
    Entry{Fault::TooFewParameters, 3061, kJet, "Too few parameters. Expected 1. (|)"},
    Entry{Fault::TableNotFound, 3078, kJet,
          "The Microsoft Jet database engine cannot find the input table or query '|'. Make sure "
          "it exists and that its name is spelled correctly."},
    Entry{Fault::InvalidSql, 3129, kJet,
          "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
          "'UPDATE'."},
    Entry{Fault::FromSyntax, 3131, kJet, "Syntax error in FROM clause."},
    Entry{Fault::InsertSyntax, 3134, kJet, "Syntax error in INSERT INTO statement."},
    Entry{Fault::UpdateSyntax, 3144, kJet, "Syntax error in UPDATE statement."},
    Entry{Fault::DeleteSyntax, 3075, kJet, "Syntax error in DELETE statement: '|'."},
    Entry{Fault::QuerySyntax, 3075, kJet,
          "Syntax error (missing operator) in query expression '|'."},
    Entry{Fault::UnknownInsertField, 3127, kJet,
          "The INSERT INTO statement contains the following unknown field name: '|'. Make sure "
          "you have typed the name correctly, and try the operation again."},
    Entry{Fault::FieldTooSmall, 3163, kJet,
          "The field is too small to accept the amount of data you attempted to add. Try "
          "inserting or pasting less data."},
    Entry{Fault::RelatedRecord, 3201, kJet,
          "You cannot add or change a record because a related record is required. (|)"},
    Entry{Fault::CreateTableSyntax, 3290, kJet, "Syntax error in CREATE TABLE statement."},
    Entry{Fault::CreateIndexSyntax, 3289, kJet, "Syntax error in CREATE INDEX statement."},
    Entry{Fault::NullNotAllowed, 3314, kJet,
          "The field '|' cannot contain a Null value because the Required property for this "
          "field is set to True. Enter a value in this field."},
    Entry{Fault::ZeroLength, 3315, kJet, "Field '|' cannot be a zero-length string."},
    Entry{Fault::UnrecognizedFormat, 3343, kJet, "Unrecognized database format '|'."},
    Entry{Fault::NotValidPassword, 3031, kJet, "Not a valid password."},
    Entry{Fault::CriteriaMismatch, 3464, kJet, "Data type mismatch in criteria expression."},
    Entry{Fault::ItemNotFound, 3265, kRecordset,
          "Item cannot be found in the collection corresponding to the requested name or "
          "ordinal."},
    Entry{Fault::ObjectClosed, 3704, kRecordset,
          "Operation is not allowed when the object is closed."},
    Entry{Fault::NotAllowed, 3219, kRecordset, "Operation is not allowed in this context."},
    Entry{Fault::SelectNotExecutable, 3065, kJet, "Cannot execute a select query."},
    Entry{Fault::InvalidDefinition, 3000, kJet, "Reserved error; |"},
    Entry{Fault::Unsupported, 3251, kJet,
          "Operation is not supported for this type of object. (|)"},
};

const Entry& entryOf(Fault fault) {
    for (const Entry& e : kTable) {
        if (e.fault == fault) return e;
    }
    return kTable[0];  // every enumerator has an entry; a unit test holds that
}

std::string fill(const char* wording, const std::string& subject) {
    std::string text(wording);
    auto bar = text.find('|');
    if (bar == std::string::npos) return text;
    if (subject.empty()) {
        // Drop an empty " (|)" altogether; elsewhere the quotes stay empty.
        auto open = text.find(" (|)");
        if (open != std::string::npos) return text.erase(open, 4);
    }
    return text.replace(bar, 1, subject);
}

}  // namespace

int faultNumber(Fault fault) {
    return entryOf(fault).number;
}

report::RunTimeError makeError(Fault fault, const std::string& subject) {
    const Entry& e = entryOf(fault);
    std::string source = e.source;
    return report::RunTimeError(e.number, fill(e.wording, subject), source);
}

report::RunTimeError fromJetError(const jet::Error& error, const std::string& subject) {
    const std::string what = error.what();
    const std::string& named = subject.empty() ? what : subject;
    switch (error.code()) {
        case jet::ErrorCode::Io:
            return makeError(Fault::DiskError, what);
        case jet::ErrorCode::NotADatabase:
            return makeError(Fault::UnrecognizedFormat, named);
        case jet::ErrorCode::Corrupt:
            return makeError(Fault::CannotOpenDatabase, what);
        case jet::ErrorCode::PasswordProtected:
            return makeError(Fault::NotValidPassword);
        case jet::ErrorCode::Unsupported:
            return makeError(Fault::Unsupported, what);
        case jet::ErrorCode::ReadOnly:
            return makeError(Fault::CannotUpdate);
        case jet::ErrorCode::InUse:
            return makeError(Fault::FileInUse, named);
        case jet::ErrorCode::NotFound:
            return makeError(Fault::TableNotFound, named);
        case jet::ErrorCode::InvalidDefinition:
            return makeError(Fault::InvalidDefinition, what);
        case jet::ErrorCode::DuplicateKey:
            return makeError(Fault::DuplicateKey);
        case jet::ErrorCode::NullNotAllowed:
            return makeError(Fault::NullNotAllowed, named);
        case jet::ErrorCode::ZeroLengthNotAllowed:
            return makeError(Fault::ZeroLength, named);
        case jet::ErrorCode::TooLong:
            return makeError(Fault::FieldTooSmall);
        case jet::ErrorCode::Overflow:
            return makeError(Fault::Overflow);
        case jet::ErrorCode::TypeMismatch:
            return makeError(Fault::TypeMismatch);
        case jet::ErrorCode::Relationship:
            return makeError(Fault::RelatedRecord, what);
        case jet::ErrorCode::Transaction:
            return makeError(Fault::NoTransaction);
    }
    return makeError(Fault::InvalidDefinition, what);
}

}  // namespace data
