// The usage-map check and the debug builds' check after every commit.

#include "jet/table_check.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <set>

#include "jet/database_impl.h"
#include "jet/index_check.h"
#include "jet/index_tree.h"
#include "jet/pager.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

bool isIndexPage(const uint8_t* page) {
    return page[0] == page_type::kIndexNode || page[0] == page_type::kIndexLeaf;
}

bool isLongValuePage(const uint8_t* page, const JetFormat& format) {
    return page[0] == page_type::kData &&
           std::memcmp(page + format.dataOwner, kLvalOwner, sizeof kLvalOwner) == 0;
}

// The table a data or index page belongs to (index pages name it where data pages do); 0 for
// other pages.
uint32_t ownerOf(const uint8_t* page, const JetFormat& format) {
    if (page[0] != page_type::kData && !isIndexPage(page)) return 0;
    if (isLongValuePage(page, format)) return 0;
    return getU32(page + format.dataOwner);
}

// The tables whose pages are among `pages`, by the first page of their definition (a written
// continuation page of a definition counts as a table too; callers skip what is no table).
std::set<uint32_t> tablesWritten(Pager& pager, const JetFormat& format,
                                 const std::vector<uint32_t>& pages) {
    std::set<uint32_t> out;
    for (uint32_t number : pages) {
        if (number >= pager.pageCount()) continue;
        PageRef page = pager.read(number);
        if (page->at(0) == page_type::kTableDefinition) {
            out.insert(number);
        } else if (uint32_t owner = ownerOf(page->data(), format)) {
            out.insert(owner);
        }
    }
    return out;
}

}  // namespace

std::vector<std::string> checkTableMaps(const TableImpl& table) {
    Pager& pager = table.db().pager();
    const JetFormat& format = table.db().format();
    const std::string& file = table.db().fileName();
    const Tdef& tdef = table.tdef();
    std::vector<std::string> problems;
    auto problem = [&](const std::string& what) {
        problems.push_back("table " + table.name() + ": " + what);
    };
    auto read = [&](RowPointer where, const std::string& what) -> std::optional<UsageMap> {
        try {
            return UsageMap::read(pager, format, where, file);
        } catch (const Error& e) {
            problem(what + ": " + e.what());
            return std::nullopt;
        }
    };
    const std::optional<UsageMap> global = read(kGlobalMap, "the global map");
    if (!global) return problems;

    // Every page `map` lists is in the file, in use and accepted by `belongs` (`kind` says how).
    auto checkListed = [&](const UsageMap& map, const std::string& what, const std::string& kind,
                           const std::function<bool(const uint8_t*)>& belongs) {
        for (uint32_t number : map.pages()) {
            const std::string listed = what + " lists page " + std::to_string(number);
            if (number >= pager.pageCount()) {
                problem(listed + ", past the end of the file");
                continue;
            }
            if (globalMapSaysFree(*global, format, number)) {
                problem(listed + ", which the global map calls free");
            }
            if (!belongs(pager.read(number)->data())) problem(listed + ", which is not " + kind);
        }
    };
    // The pages of a free-space map are among those of its owner's map.
    auto checkFreeSpace = [&](RowPointer where, const UsageMap& owned, const std::string& what) {
        if (where.isNull()) return;
        const std::optional<UsageMap> free = read(where, what);
        if (!free) return;
        for (uint32_t number : free->pages()) {
            if (!owned.contains(number)) {
                problem(what + " lists page " + std::to_string(number) + ", which is not owned");
            }
        }
    };

    const uint32_t self = tdef.firstPage;
    if (!tdef.ownedMap.isNull()) {
        if (std::optional<UsageMap> owned = read(tdef.ownedMap, "the table's map")) {
            checkListed(*owned, "the table's map", "a data page of the table",
                        [&](const uint8_t* page) {
                            return page[0] == page_type::kData && ownerOf(page, format) == self;
                        });
            checkFreeSpace(tdef.freeMap, *owned, "the table's free-space map");
        }
    }

    for (const IndexDescriptor& index : describeIndexes(table)) {
        if (index.usageMap.isNull()) continue;
        const std::string what = "the map of index " + index.name;
        const std::optional<UsageMap> map = read(index.usageMap, what);
        if (!map) continue;
        checkListed(*map, what, "an index page of the table", [&](const uint8_t* page) {
            return isIndexPage(page) && ownerOf(page, format) == self;
        });
        std::vector<uint32_t> reached;
        try {
            IndexTree(pager, index).verifyStructure(&reached);
        } catch (const Error&) {
            continue;  // an unreadable tree is the index check's to report
        }
        for (uint32_t number : reached) {
            if (!map->contains(number)) {
                problem("page " + std::to_string(number) + " of index " + index.name +
                        " is missing from its map");
            }
        }
    }

    for (const LongValueMaps& maps : tdef.longValueMaps) {
        if (maps.ownedMap.isNull()) continue;
        const std::string what =
            "the long-value map of column #" + std::to_string(maps.columnNumber);
        if (std::optional<UsageMap> owned = read(maps.ownedMap, what)) {
            checkListed(*owned, what, "a long-value page",
                        [&](const uint8_t* page) { return isLongValuePage(page, format); });
            checkFreeSpace(maps.freeMap, *owned, what + " (free space)");
        }
    }
    return problems;
}

void checkEveryCommit(const std::shared_ptr<Pager>& pager, const std::filesystem::path& path,
                      const std::string& fileName, const HeaderInfo& header) {
    if (!kCheckEveryCommit) return;
    std::weak_ptr<Pager> weak = pager;
    pager->setCommitObserver([weak, path, fileName, header](const std::vector<uint32_t>& pages) {
        const std::shared_ptr<Pager> held = weak.lock();
        if (!held) return;
        std::vector<std::string> problems;
        try {
            // Read afresh: what a reader opening the file now would see.
            DatabaseImpl fresh(path, fileName, held, header);
            const Catalog& catalog = fresh.catalog();
            for (uint32_t tdefPage : tablesWritten(*held, fresh.format(), pages)) {
                if (catalog.findTableAt(tdefPage) == nullptr) continue;
                const TableImpl& table = fresh.tableAt(tdefPage);
                for (const auto& found : {checkTableIndexes(table), checkTableMaps(table)}) {
                    problems.insert(problems.end(), found.begin(), found.end());
                }
            }
        } catch (const Error& e) {
            problems.push_back(e.what());
        }
        if (problems.empty()) return;
        std::fprintf(stderr, "%s: a commit left the file unsound:\n", fileName.c_str());
        for (const std::string& line : problems) std::fprintf(stderr, "  %s\n", line.c_str());
        std::abort();
    });
}

}  // namespace jet
