// What a transfer did, told from the tables before and after it and from the lines it read.
//
// The transfer command reports only through its window; the command-line summary is worked out
// beside it: a snapshot of the destination table before and after, the input lines that were
// handed to the importer (read as the transfer reads them) and the kind's layout from
// ImportData.mdb. Snapshots that cannot be taken leave the figures that need them out.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cli {

struct TableSnapshot {
    long rows = 0;
    std::map<std::string, long> rowsByEmployee;  // by Employee#
    std::set<std::string> payItems;              // Employee# + "|" + Type for + Type + Code
};

// nullopt when the file or table cannot be read.
std::optional<TableSnapshot> takeSnapshot(const std::filesystem::path& database,
                                          const std::string& table);

struct LineAmounts {
    std::string employee;
    std::vector<std::string> nonZeroKeys;  // pay-item keys of the line's non-zero amounts
};

// The first `limit` lines of the file (Windows-874; a line ends at CR or CR LF), blank ones left
// out, mapped through the payroll layout `layoutTable` of `layoutDatabase`. A line too short for
// the layout keeps the amounts it has. Without a readable layout every line is an employee code
// alone.
std::vector<LineAmounts> readLines(const std::filesystem::path& textFile,
                                   const std::string& separator, long limit,
                                   const std::filesystem::path& layoutDatabase,
                                   const std::string& layoutTable);

// Lines and non-blank lines among the first `limit` lines of the file.
std::pair<long, long> countLines(const std::filesystem::path& textFile, long limit);

}  // namespace cli
