// The index check and the conversion of table definitions into index descriptors.

#include "jet/index_check.h"

#include <map>

#include "jet/database_impl.h"
#include "jet/index_tree.h"

namespace jet {
namespace {

constexpr size_t kMaxProblemsPerIndex = 20;

}  // namespace

std::vector<IndexDescriptor> describeIndexes(const TableImpl& table) {
    const Tdef& tdef = table.tdef();
    const bool jet3 = table.db().format().version < 4;
    std::vector<IndexDescriptor> out;
    for (const RealIndex& real : tdef.realIndexes) {
        IndexDescriptor d;
        d.number = real.number;
        d.tdefPage = tdef.firstPage;
        d.rootPage = real.rootPage;
        d.usageMap = real.usageMap;
        d.flags = real.flags;
        for (const LogicalIndex& logical : tdef.logicalIndexes) {
            if (logical.index.realIndex == real.number) {
                d.name = logical.index.name;
                break;
            }
        }
        if (d.name.empty()) d.name = "#" + std::to_string(real.number);
        for (const IndexColumn& ic : real.columns) {
            KeyColumn k;
            k.ascending = ic.ascending;
            k.rowPosition = tdef.columnByNumber(ic.columnNumber);
            if (k.rowPosition >= 0) {
                const Column& c = tdef.columns[size_t(k.rowPosition)];
                k.type = c.type;
                k.name = c.name;
                k.sortOrder = c.sortOrder;
                k.sortVersion = jet3 ? 0xFF : c.sortVersion;
            } else {
                k.name = "column #" + std::to_string(ic.columnNumber);
            }
            d.columns.push_back(std::move(k));
        }
        out.push_back(std::move(d));
    }
    return out;
}

std::vector<std::string> checkIndex(Pager& pager, const IndexDescriptor& index,
                                    const std::vector<std::pair<RowId, Row>>& rows,
                                    const std::string& label) {
    std::vector<std::string> problems;
    auto problem = [&](const std::string& what) {
        if (problems.size() < kMaxProblemsPerIndex) {
            problems.push_back(label + ": " + what);
        } else if (problems.size() == kMaxProblemsPerIndex) {
            problems.push_back(label + ": more problems not listed");
        }
    };
    auto rowName = [](RowId id) {
        return "row " + std::to_string(id.page) + ":" + std::to_string(id.row);
    };

    for (const KeyColumn& c : index.columns) {
        if (c.rowPosition < 0) {
            problem("key column " + c.name + " is not a column of the table");
            return problems;
        }
    }
    const bool buildable = index.keysBuildable();

    // Expected entries by row.
    std::map<RowId, const Row*> expected;
    for (const auto& [id, row] : rows) {
        if (index.ignoreNulls() && allKeyColumnsNull(index, row)) continue;
        expected.emplace(id, &row);
    }

    IndexTree tree(pager, index);
    try {
        for (const std::string& s : tree.verifyStructure()) problem(s);
        std::vector<uint8_t> previous;
        bool first = true;
        std::map<RowId, int> seen;
        size_t entries = 0;
        tree.forEach([&](std::span<const uint8_t> key, RowId id) {
            ++entries;
            std::vector<uint8_t> current(key.begin(), key.end());
            appendEntryTrailer(current, id);
            if (!first && compareBytes(previous, current) >= 0) {
                problem("entry " + std::to_string(entries) + " (" + rowName(id) +
                        ") is out of order");
            }
            first = false;
            previous = std::move(current);
            if (++seen[id] == 2) problem(rowName(id) + " has more than one entry");
            auto it = expected.find(id);
            if (it == expected.end()) {
                problem("entry for " + rowName(id) + ", which is not a live row of the table" +
                        (index.ignoreNulls() ? " with a key" : ""));
                return true;
            }
            if (buildable) {
                IndexKey want = buildIndexKey(index, *it->second);
                if (want.size() != key.size() ||
                    !std::equal(want.begin(), want.end(), key.begin())) {
                    problem("key of " + rowName(id) + " is " + hexBytes(key.data(), key.size()) +
                            ", expected " + hexBytes(want));
                }
            }
            return true;
        });
        for (const auto& [id, row] : expected) {
            if (!seen.count(id)) problem(rowName(id) + " has no entry");
        }
    } catch (const Error& e) {
        problem(e.what());
    }
    return problems;
}

std::vector<std::string> checkTableIndexes(const TableImpl& table,
                                           const std::function<void(const std::string&)>& report) {
    std::vector<std::pair<RowId, Row>> rows;
    table.scan([&](RowId id, const Row& row) {
        rows.emplace_back(id, row);
        return true;
    });
    std::vector<std::string> problems;
    for (const IndexDescriptor& index : describeIndexes(table)) {
        std::string label = "table " + table.name() + ", index " + index.name;
        auto found = checkIndex(table.db().pager(), index, rows, label);
        if (report) {
            report(label + ": " + std::to_string(rows.size()) + " rows, " +
                   (found.empty() ? "ok" : std::to_string(found.size()) + " problem(s)") +
                   (index.keysBuildable() ? "" : " (text keys not rebuilt: sort order)"));
        }
        problems.insert(problems.end(), found.begin(), found.end());
    }
    return problems;
}

}  // namespace jet
