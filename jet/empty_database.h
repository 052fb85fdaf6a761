// A brand-new, empty Jet 4 database (Access 2000 format), generated page by page.
//
// The file holds what the Jet engine itself writes into a new database: the header page with its
// masked part (Thai code page 874, General sort order 0x0409 version 0, no password, no page
// encryption), the global usage map, and the four system tables MSysObjects, MSysACEs,
// MSysQueries and MSysRelationships with their definitions, usage maps, index pages and rows
// (the catalog rows of the containers, MSysDb and the four tables; the permission rows Jet
// expects in MSysACEs). The page layout is that of a Jet-made empty file, 19 pages.
#pragma once

#include <cstdint>

#include "jet/pager.h"

namespace jet::create {

// Fixed page numbers of a database this engine creates.
constexpr uint32_t kGlobalMapPage = 1;
constexpr uint32_t kCatalogTdefPage = 2;  // MSysObjects, always page 2 in every Jet 4 file
constexpr uint32_t kEmptyDatabasePages = 19;

// Catalog identities used by every Jet 4 database.
constexpr int32_t kContainersParentId = 0x0F000000;
constexpr int32_t kTablesContainerId = 0x0F000001;
constexpr int32_t kDatabasesContainerId = 0x0F000002;
constexpr int32_t kRelationshipsContainerId = 0x0F000003;
constexpr int32_t kDatabaseObjectId = 0x10000000;

// The owner SID Jet stamps on objects it creates for the default user.
constexpr uint8_t kOwnerSid[2] = {0x06, 0xEA};

// The header page: magic, version 1 (Jet 4), the masked region holding code page, sort order,
// creation date and the date-derived password mask of an empty password.
PageBuffer databaseHeaderPage(double creationDate);

// Writes every page of a new empty database.
// REQUIRES: pager.pageCount() == 0, pager.inTransaction(), a page size of 4096.
void writeEmptyDatabase(Pager& pager, double creationDate);

// The current time as an OLE automation date in local civil time.
double oleDateNow();

}  // namespace jet::create
