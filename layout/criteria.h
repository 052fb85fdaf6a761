// Values placed between single quotation marks in search criteria and statements.
//
// The importers build criteria such as "[Employee#]='<code>'" by joining texts. A value that
// itself holds a quotation mark would end the quoted text early and could make a statement reach
// rows of another employee or pay item, so such a value is refused before any statement is built
// or run, with the error the database gives for a malformed expression.
#pragma once

#include <string>

namespace layout {

// Throws report::RunTimeError when `value` holds a single quotation mark. `expression` is the
// criterion or statement it was meant for, named in the error's wording.
void checkQuotable(const std::string& value, const std::string& expression);

}  // namespace layout
