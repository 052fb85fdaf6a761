// The recursive-descent parser of the Jet SQL subset, without the statement cache that
// parseStatement (data/sql.h) puts in front of it.
#pragma once

#include <string>

#include "data/sql.h"

namespace data::sql {

// REQUIRES: nothing. Throws RunTimeError (a syntax-error number) when `text` does not parse.
Statement parseStatementText(const std::string& text);

}  // namespace data::sql
