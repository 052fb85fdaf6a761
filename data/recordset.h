// Recordset: the rows of one SELECT (or a bare table name) with a current row, forward search,
// in-place change and insertion. Every failure is a report::RunTimeError with the provider's
// usual number and wording.
#pragma once

#include <memory>
#include <string>

#include "data/connection.h"
#include "data/conversion.h"
#include "jet/database.h"

// Recordset::EOF keeps the provider's name. The C library defines EOF as a macro, which would
// rewrite every use of it: the stdio headers are taken in here first (their guards keep them
// from defining it again) and the macro is removed. Use std::char_traits<char>::eof() instead.
#include <stdio.h>
#include <cstdio>
#undef EOF

namespace data {

class RecordsetImpl;

class Recordset {
  public:
    Recordset();
    ~Recordset();
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;

    // `source` is a SELECT statement or a table name.
    void Open(const std::string& source, std::shared_ptr<Connection> connection);
    void Close();
    bool isOpen() const;

    void MoveFirst();
    void MoveNext();
    void MoveLast();
    bool BOF() const;
    bool EOF() const;
    long RecordCount() const;
    // Position of the current row, 0-based; -1 before the first, RecordCount() after the last.
    long position() const;
    void setPosition(long position);

    // Searches forward from the current row (included) for the first row meeting `criterion`
    // ("No=2", "[Employee#]='0012'"). With no match the cursor stands after the last row (EOF).
    void Find(const std::string& criterion);

    // Fields of the current row, by name (case-insensitive, brackets optional) or ordinal.
    int fieldCount() const;
    std::string fieldName(int ordinal) const;
    jet::ColumnType fieldType(int ordinal) const;
    jet::Value field(const std::string& name) const;
    jet::Value field(int ordinal) const;
    // Assigns to the current (or pending new) row, converting as Jet does for the column's type.
    // Held until Update().
    void setField(const std::string& name, const jet::Value& value);
    void setField(int ordinal, const jet::Value& value);

    void AddNew();        // starts a pending new row, appended at the end on Update()
    void Update();        // stores the pending new or changed row
    void CancelUpdate();  // drops pending changes
    void Delete();        // deletes the current row
    void Requery();       // runs the source again; cursor on the first row

  private:
    std::unique_ptr<RecordsetImpl> impl_;
};

}  // namespace data
