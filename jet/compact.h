// Public: part of the engine's interface to the programs built on it.
// Compacting a database: a new file holding the same tables, rows, definitions, indexes and
// catalog objects, with the space that deletions left behind given back.
//
// How: the file is copied page for page; then every table is emptied (its data, long-value and
// index pages go back to the free-page map, its index roots become empty leaves) and its rows are
// written again from the original, packed from the lowest free page up, every index rebuilt by
// the engine's own index code; finally the free pages at the end are cut off. Table definition
// pages, usage-map pages and the catalog (MSysObjects) keep their page numbers, so the catalog's
// object ids (a table's id is its definition page), the access rights, queries and relationships
// that name them, and the definitions that refer to another table all stay true without being
// rewritten. Every other catalog object (queries, forms, properties, relationships) is carried
// over byte for byte. A table whose rows the engine cannot write again (an index sort order it
// cannot build keys for, rows sharing a page with usage maps) keeps its pages byte for byte and is
// named in the result; a row that cannot be written again refuses the whole compact, naming it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace jet {

struct CompactResult {
    uint64_t sizeBefore = 0;  // bytes
    uint64_t sizeAfter = 0;
    uint32_t tablesRewritten = 0;
    uint64_t rowsWritten = 0;
    // Tables carried over page for page, each "name: why".
    std::vector<std::string> keptAsStored;
    // Free pages still inside the new file: pages that lie below a definition or map page that
    // keeps its number.
    uint32_t freePagesLeft = 0;
};

// Lines for a person: each table as it is rewritten, and rows as they go.
using CompactProgress = std::function<void(const std::string& line)>;

// Writes the compacted copy of `source` to `target`, which must not exist. `source` is held
// against other writers meanwhile and never changed. The copy is checked (every index against
// its rows) before it takes its name; after any failure there is no `target`. Access 97 (Jet 3)
// files are refused (the engine writes Jet 4 only).
CompactResult compactDatabase(const std::filesystem::path& source,
                              const std::filesystem::path& target,
                              const CompactProgress& progress = {});

// Compacts `file` where it is: the new file is built beside it, then takes its name in one step.
// The old file stays as "<file>.bak" until the new one has passed the check under its own name,
// and is then removed; if that check fails the old file is put back. Refused (InUse) while this
// process has the database open elsewhere.
CompactResult compactInPlace(const std::filesystem::path& file,
                             const CompactProgress& progress = {});

// Where compactInPlace keeps the old file while it checks the new one.
std::filesystem::path compactBackupPath(const std::filesystem::path& file);

}  // namespace jet
