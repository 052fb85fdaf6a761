// jetdb: looks inside an Access file with the engine alone.
//   jetdb tables FILE           user tables, one a line
//   jetdb schema FILE [TABLE]   columns and indexes
//   jetdb export FILE TABLE     CSV, rows in storage order
//   jetdb check FILE            every index against its rows
//   jetdb space FILE            pages by kind and table, free bytes, what a compact would save
//   jetdb compact SOURCE TARGET a new, compacted copy (SOURCE is not changed)
//   jetdb compact --in-place FILE   the same, put in the file's place once checked
//   jetdb sql FILE [STATEMENT]  the data layer's SQL
//   jetdb recover FILE          only what an interrupted writer left beside the file
// Every command first deals with what an interrupted writer left beside the file, when it may
// write the folder, and says so on standard error.
// Exit status 0 on success; otherwise one line on standard error and status 1 (2 for usage).
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "jet/compact.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "jet/program.h"
#include "jet/tools/csv.h"
#include "jet/tools/jetdb_commands.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace {

__attribute__((weak)) int sqlFallback(const std::vector<std::string>&) {
    std::cerr << "jetdb: sql is not available\n";
    return 1;
}

void usage() {
    std::cerr << "usage: jetdb tables FILE | schema FILE [TABLE] | export FILE TABLE | check FILE"
                 " | space FILE | compact SOURCE TARGET | compact --in-place FILE"
                 " | sql FILE [STATEMENT] | recover FILE\n";
}

int tables(const std::string& file) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    for (const auto& name : db->tableNames()) std::cout << name << '\n';
    return 0;
}

void describe(const jet::Table& table) {
    std::cout << "TABLE " << table.name() << (table.isSystem() ? " (system)" : "") << '\n';
    for (const auto& c : table.columns()) {
        std::cout << "  COLUMN " << c.name << ' ' << jet::columnTypeName(c.type);
        if (c.type == jet::ColumnType::Text) std::cout << '(' << c.textSize() << ')';
        if (c.type == jet::ColumnType::Binary) std::cout << '(' << c.length << ')';
        if (c.type == jet::ColumnType::Decimal)
            std::cout << '(' << int(c.precision) << ',' << int(c.scale) << ')';
        std::cout << " #" << c.number;
        if (c.isAutoNumber()) std::cout << " AUTONUMBER";
        if (c.required) std::cout << " REQUIRED";
        if (c.type == jet::ColumnType::Text && !c.allowZeroLength) std::cout << " NOZEROLENGTH";
        if (c.defaultValue) std::cout << " DEFAULT " << *c.defaultValue;
        std::cout << '\n';
    }
    for (const auto& ix : table.indexes()) {
        std::cout << "  INDEX " << ix.name << " (";
        for (size_t i = 0; i < ix.columns.size(); ++i) {
            std::string columnName = "#" + std::to_string(ix.columns[i].columnNumber);
            for (const auto& c : table.columns())
                if (c.number == ix.columns[i].columnNumber) columnName = c.name;
            std::cout << (i ? ", " : "") << columnName << (ix.columns[i].ascending ? "" : " DESC");
        }
        std::cout << ')';
        if (ix.primaryKey) std::cout << " PRIMARY";
        if (ix.unique) std::cout << " UNIQUE";
        if (ix.ignoreNulls) std::cout << " IGNORENULLS";
        if (ix.required) std::cout << " REQUIRED";
        if (ix.foreignKey) std::cout << " FOREIGNKEY";
        std::cout << '\n';
    }
}

int schema(const std::string& file, const std::string* tableName) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    if (tableName) {
        describe(db->table(*tableName));
        return 0;
    }
    for (const auto& name : db->tableNames()) describe(db->table(name));
    return 0;
}

int exportTable(const std::string& file, const std::string& tableName) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    jet::Table table = db->table(tableName);
    std::string line;
    for (size_t i = 0; i < table.columns().size(); ++i)
        line += (i ? "," : "") + jetdb_csv::headerName(table.columns()[i].name);
    std::cout << line << '\n';
    table.scan([&](jet::RowId, const jet::Row& row) {
        line.clear();
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) line += ',';
            line += jetdb_csv::field(row[i]);
        }
        std::cout << line << '\n';
        return true;
    });
    return 0;
}

int check(const std::string& file) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    auto problems = db->check([](const std::string& line) { std::cout << line << '\n'; });
    for (const auto& p : problems) std::cout << "FAULT " << p << '\n';
    if (!problems.empty()) {
        std::cerr << "jetdb: " << file << ": " << problems.size() << " index fault(s)\n";
        return 1;
    }
    std::cout << "OK\n";
    return 0;
}

// The pages one table holds, by kind, and the bytes its data pages leave unused.
struct TableSpace {
    std::string name;
    uint32_t rows = 0;
    size_t definition = 0, data = 0, longValue = 0, index = 0;
    uint64_t dataFree = 0, longValueFree = 0;
    size_t total() const { return definition + data + longValue + index; }
};

int space(const std::string& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    jet::DatabaseImpl& impl = *db->impl();
    jet::Pager& pager = impl.pager();
    const jet::JetFormat& format = impl.format();
    const uint64_t pageSize = format.pageSize;
    auto mapPages = [&](jet::RowPointer where) -> std::vector<uint32_t> {
        if (where.page == 0) return {};
        return jet::UsageMap::read(pager, format, where, impl.fileName()).pages();
    };
    // Bytes free on the pages of a map, counting those of live rows as used.
    auto freeOn = [&](const std::vector<uint32_t>& pages) {
        uint64_t free = 0;
        for (uint32_t page : pages) {
            if (page >= pager.pageCount()) continue;
            jet::PageRef bytes = pager.read(page);
            if ((*bytes)[0] == jet::page_type::kData)
                free += jet::data_page::freeSpace(bytes->data(), format);
        }
        return free;
    };

    std::vector<TableSpace> tables;
    for (const std::string& name : db->tableNames(true)) {
        jet::TableImpl& table = impl.table(name);
        const jet::Tdef& tdef = table.tdef();
        TableSpace t;
        t.name = name;
        t.rows = tdef.rowCount;
        t.definition = tdef.pages.size();
        std::vector<uint32_t> data = mapPages(tdef.ownedMap);
        t.data = data.size();
        t.dataFree = freeOn(data);
        for (const jet::LongValueMaps& m : tdef.longValueMaps) {
            std::vector<uint32_t> lval = mapPages(m.ownedMap);
            t.longValue += lval.size();
            t.longValueFree += freeOn(lval);
        }
        for (const jet::IndexDescriptor& d : table.indexDescriptors())
            t.index += mapPages(d.usageMap).size();
        tables.push_back(t);
    }
    size_t freePages = 0;
    for (uint32_t p = 0; p < pager.pageCount(); ++p) {
        if (jet::globalMapSaysFree(pager, format, p, impl.fileName())) ++freePages;
    }

    auto mb = [](uint64_t bytes) { return double(bytes) / 1048576.0; };
    std::printf("%-32s %9s %6s %8s %8s %8s %12s\n", "table", "rows", "tdef", "data", "memo",
                "index", "free bytes");
    size_t accounted = 0, dataSlackPages = 0;
    uint64_t freeBytes = 0;
    for (const TableSpace& t : tables) {
        std::printf("%-32s %9u %6zu %8zu %8zu %8zu %12llu\n", t.name.c_str(), t.rows, t.definition,
                    t.data, t.longValue, t.index,
                    static_cast<unsigned long long>(t.dataFree + t.longValueFree));
        accounted += t.total();
        freeBytes += t.dataFree + t.longValueFree;
        // Rows packed tight need only the pages their bytes fill; the rest a compact gives back.
        const uint64_t usable = pageSize - format.dataRowTable;
        const uint64_t used =
            uint64_t(t.data) * usable - std::min<uint64_t>(t.dataFree, t.data * usable);
        const size_t needed = size_t((used + usable - 1) / usable);
        if (t.data > needed) dataSlackPages += t.data - needed;
    }
    const size_t total = pager.pageCount();
    const size_t other = total > accounted + freePages ? total - accounted - freePages : 0;
    std::printf("\nfile: %zu pages of %llu bytes (%.1f MB)\n", total,
                static_cast<unsigned long long>(pageSize), mb(total * pageSize));
    std::printf("free pages (free-page map): %zu (%.1f MB)\n", freePages, mb(freePages * pageSize));
    std::printf("free bytes on data and memo pages: %llu (%.1f MB)\n",
                static_cast<unsigned long long>(freeBytes), mb(freeBytes));
    std::printf("other pages (header, maps, catalog objects without tables): %zu\n", other);
    const size_t saved = freePages + dataSlackPages;
    std::printf(
        "a compact would save about %zu pages (%.1f MB, %.0f%%): the free pages and the "
        "data pages its packed rows no longer need (index pages not counted)\n",
        saved, mb(saved * pageSize), total ? 100.0 * double(saved) / double(total) : 0);
    return 0;
}

// `args`: SOURCE TARGET, or --in-place FILE.
int compact(const std::vector<std::string>& args) {
    const bool inPlace = args[0] == "--in-place";
    auto progress = [](const std::string& line) { std::cerr << line << '\n'; };
    const jet::CompactResult r = inPlace
                                     ? jet::compactInPlace(jet::pathFromUtf8(args[1]), progress)
                                     : jet::compactDatabase(jet::pathFromUtf8(args[0]),
                                                            jet::pathFromUtf8(args[1]), progress);
    auto mb = [](uint64_t bytes) { return double(bytes) / 1048576.0; };
    std::printf("before: %llu bytes (%.1f MB)\n", static_cast<unsigned long long>(r.sizeBefore),
                mb(r.sizeBefore));
    std::printf("after:  %llu bytes (%.1f MB)\n", static_cast<unsigned long long>(r.sizeAfter),
                mb(r.sizeAfter));
    std::printf("tables rewritten: %u, rows: %llu, free pages left inside: %u\n", r.tablesRewritten,
                static_cast<unsigned long long>(r.rowsWritten), r.freePagesLeft);
    for (const std::string& kept : r.keptAsStored)
        std::printf("kept as stored: %s\n", kept.c_str());
    return 0;
}

// Before a command: recovery where this process may write; where it may not (a read-only
// folder, a live writer) the command reads the file as its last commit left it. False when a
// journal was set aside: the command does not run, as an open for writing would fail.
bool recoverFirst(const std::string& file) {
    try {
        const jet::RecoveryReport report = jet::Database::recover(file);
        if (report.outcome != jet::RecoveryReport::Outcome::NoJournal || report.staleLockRemoved)
            std::cerr << "jetdb: " << jet::Database::describe(file, report) << '\n';
        return report.outcome != jet::RecoveryReport::Outcome::SetAside;
    } catch (const jet::Error& e) {
        if (e.code() != jet::ErrorCode::ReadOnly && e.code() != jet::ErrorCode::InUse) throw;
    }
    return true;
}

// Status 0: nothing to do or put right; 1: a journal that does not belong was set aside.
int recover(const std::string& file) {
    const jet::RecoveryReport report = jet::Database::recover(file);
    std::cout << jet::Database::describe(file, report) << '\n';
    return report.outcome == jet::RecoveryReport::Outcome::SetAside ? 1 : 0;
}

}  // namespace

__attribute__((weak)) int jetdbSqlCommand(const std::vector<std::string>& args) {
    return sqlFallback(args);
}

int main(int argc, char** argv) {
    jet::program::setUpConsole();
    std::vector<std::string> args = jet::program::arguments(argc, argv);
    if (args.empty()) {
        usage();
        return 2;
    }
    const std::string& command = args[0];
    try {
        if (command == "recover" && args.size() == 2) return recover(args[1]);
        const bool inPlace = command == "compact" && args.size() == 3 && args[1] == "--in-place";
        if (args.size() >= 2 && command != "recover" && !recoverFirst(args[inPlace ? 2 : 1]))
            return 1;
        if (command == "tables" && args.size() == 2) return tables(args[1]);
        if (command == "schema" && (args.size() == 2 || args.size() == 3))
            return schema(args[1], args.size() == 3 ? &args[2] : nullptr);
        if (command == "export" && args.size() == 3) return exportTable(args[1], args[2]);
        if (command == "check" && args.size() == 2) return check(args[1]);
        if (command == "space" && args.size() == 2) return space(args[1]);
        if (command == "compact" && args.size() == 3) return compact({args[1], args[2]});
        if (command == "sql") return jetdbSqlCommand({args.begin() + 1, args.end()});
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "jetdb: " << e.what() << '\n';
        return 1;
    }
    usage();
    return 2;
}
