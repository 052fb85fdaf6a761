// The catalog: the rows of MSysObjects that name the database's tables.
//
// MSysObjects' definition is always on page 2. A table is a row of type 1 whose parent is the
// "Tables" container; its definition starts at page Id & 0x00FFFFFF. Names match
// case-insensitively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/row_id.h"
#include "jet/value.h"

namespace jet {

class TableImpl;

constexpr uint32_t kCatalogTdefPage = 2;
constexpr int16_t kObjectTable = 1;
constexpr int16_t kObjectContainer = 3;
constexpr int32_t kContainerParent = 0x0F000000;

struct CatalogEntry {
    int32_t id = 0;
    int32_t parentId = 0;
    std::string name;
    int16_t type = 0;
    uint32_t flags = 0;
    RowId row;     // the entry's row in MSysObjects
    Bytes lvProp;  // the properties blob (empty when none)

    uint32_t tdefPage() const { return uint32_t(id) & 0x00FFFFFF; }
    bool isSystem() const { return (flags & 0x80000002u) != 0; }
};

class Catalog {
  public:
    // Reads every row of MSysObjects through `objects` (the table at page 2).
    explicit Catalog(const TableImpl& objects);

    // Local tables in catalog (storage) order.
    const std::vector<CatalogEntry>& tables() const { return tables_; }
    const CatalogEntry* findTable(std::string_view name) const;
    const CatalogEntry* findTableAt(uint32_t tdefPage) const;
    // Every row of MSysObjects (containers, the database object, queries, ...).
    const std::vector<CatalogEntry>& objects() const { return objects_; }
    // The Id of the "Tables" container (0 if absent).
    int32_t tablesContainerId() const { return tablesId_; }

  private:
    std::vector<CatalogEntry> objects_;
    std::vector<CatalogEntry> tables_;
    int32_t tablesId_ = 0;
};

}  // namespace jet
