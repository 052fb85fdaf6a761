// The check of a table's usage maps, and the debug builds' check after every commit.
//
// Usage maps: every page the table's map lists is a data page of the table, every page its
// free-space map lists is in its map, every page of an index's tree is in the index's map and
// every page that map lists is an index page of the table, every page a long-value map lists is a
// long-value page; none of them is free in the global map. Problems come back one line each.
//
// Debug builds (NDEBUG not defined) check, as SQLite's debug builds do, what each commit leaves
// behind: the tables whose pages it wrote are read afresh from the file and put through the index
// check and the map check; a problem ends the process with the problems on stderr, so that a
// broken invariant fails the test that caused it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "jet/header.h"

namespace jet {

class Pager;
class TableImpl;

std::vector<std::string> checkTableMaps(const TableImpl& table);

#ifdef NDEBUG
inline constexpr bool kCheckEveryCommit = false;
#else
inline constexpr bool kCheckEveryCommit = true;
#endif

// Makes `pager` check the tables each of its commits writes (see above). `path` and `fileName`
// are the database's, as DatabaseImpl takes them.
void checkEveryCommit(const std::shared_ptr<Pager>& pager, const std::filesystem::path& path,
                      const std::string& fileName, const HeaderInfo& header);

}  // namespace jet
