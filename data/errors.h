// The data layer's errors: one table of the numbers, wordings and sources that the Jet provider
// and ADO use, and the mapping of engine failures onto them.
//
// Every failure that leaves the data layer is a report::RunTimeError built here, so a caller's
// error handler sees the number and description it would see from the Windows provider. A "|" in
// a wording is replaced by the subject (a field, table or file name, or the offending text).
#pragma once

#include <string>

#include "jet/error.h"
#include "report/run_time_error.h"

namespace data {

enum class Fault {
    Overflow,             // 6
    TypeMismatch,         // 13
    InvalidUseOfNull,     // 94
    ProviderNotFound,     // 3706, names the provider
    ArgumentsWrong,       // 3001
    NoCurrentRecord,      // 3021
    DuplicateKey,         // 3022
    FileNotFound,         // 3024
    CannotUpdate,         // 3027 read-only
    NoTransaction,        // 3034
    DiskError,            // 3043
    CannotOpenDatabase,   // 3049 damaged
    FileInUse,            // 3051
    TooFewParameters,     // 3061 unknown name in an expression
    TableNotFound,        // 3078
    InvalidSql,           // 3129 not a statement we know
    FromSyntax,           // 3131
    InsertSyntax,         // 3134
    UpdateSyntax,         // 3144
    DeleteSyntax,         // 3075 in a DELETE
    QuerySyntax,          // 3075
    UnknownInsertField,   // 3127
    FieldTooSmall,        // 3163
    RelatedRecord,        // 3201
    CreateTableSyntax,    // 3290
    CreateIndexSyntax,    // 3289
    NullNotAllowed,       // 3314
    ZeroLength,           // 3315
    UnrecognizedFormat,   // 3343
    NotValidPassword,     // 3031
    CriteriaMismatch,     // 3464
    ItemNotFound,         // 3265
    ObjectClosed,         // 3704
    NotAllowed,           // 3219
    SelectNotExecutable,  // 3065
    InvalidDefinition,    // 3000 with the engine's words
    Unsupported,          // 3251
};

// The error for `fault`; `subject` replaces the "|" of the wording.
report::RunTimeError makeError(Fault fault, const std::string& subject = {});

// The provider's error for an engine failure. `subject` names what was being done to (a table or
// field) where the wording has a place for it; the engine's own message fills it otherwise.
report::RunTimeError fromJetError(const jet::Error& error, const std::string& subject = {});

// Number of a fault (for tests and callers that branch on numbers).
int faultNumber(Fault fault);

}  // namespace data
