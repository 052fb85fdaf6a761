// DataControl: pairs a connection text with a record source and opens the record set on
// Refresh, as the window's hidden data controls do.
#pragma once

#include <memory>
#include <string>

#include "data/connection.h"
#include "data/recordset.h"

namespace data {

class DataControl {
  public:
    std::string ConnectionString;
    std::string RecordSource;

    // Closes what was open, opens the connection and the record set that the two texts describe.
    void Refresh();
    Recordset& recordset();  // throws RunTimeError when no record set is open
    bool hasRecordset() const;
    const std::shared_ptr<Connection>& connection() const { return connection_; }

  private:
    std::shared_ptr<Connection> connection_;
    std::string openedWith_;  // the connection text connection_ was opened with
    std::unique_ptr<Recordset> recordset_;
};

}  // namespace data
