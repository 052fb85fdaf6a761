#include "transfer_summary.h"

#include <algorithm>
#include <fstream>
#include <memory>

#include "jet/database.h"
#include "text/windows874.h"

namespace cli {

namespace {

std::string textOf(const jet::Value& value) {
    return value.is<std::string>() ? value.as<std::string>() : std::string();
}

long longOf(const jet::Value& value) {
    if (value.is<int32_t>()) return value.as<int32_t>();
    if (value.is<int16_t>()) return value.as<int16_t>();
    if (value.is<uint8_t>()) return value.as<uint8_t>();
    return 0;
}

// Reads lines as the transfer does; `visit` receives each line's bytes, blank ones included.
template <typename Visit>
void forEachLine(const std::filesystem::path& file, long limit, Visit visit) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    long lines = 0;
    char c;
    bool pending = false;
    while (lines < limit && in.get(c)) {
        if (c == '\r') {
            if (in.peek() == '\n') in.get(c);
            visit(line);
            line.clear();
            pending = false;
            ++lines;
        } else {
            line += c;
            pending = true;
        }
    }
    if (lines < limit && pending) visit(line);
}

struct LayoutItem {
    long no;
    long fieldNo;
    std::string key;
};

std::vector<LayoutItem> readLayout(const std::filesystem::path& database,
                                   const std::string& table) {
    std::vector<LayoutItem> items;
    try {
        auto db = jet::Database::open(database, jet::OpenMode::ReadOnly);
        jet::Table t = db->table(table);
        const int no = t.columnIndex("No"), fieldNo = t.columnIndex("FieldNo"),
                  key = t.columnIndex("ToFieldName");
        if (no < 0 || fieldNo < 0 || key < 0) return {};
        t.scan([&](jet::RowId, const jet::Row& row) {
            const long field = longOf(row[static_cast<size_t>(fieldNo)]);
            if (field > 0) {
                items.push_back({longOf(row[static_cast<size_t>(no)]), field,
                                 textOf(row[static_cast<size_t>(key)])});
            }
            return true;
        });
    } catch (...) {
        return {};
    }
    std::sort(items.begin(), items.end(),
              [](const LayoutItem& a, const LayoutItem& b) { return a.no < b.no; });
    return items;
}

std::vector<std::string> split(const std::string& line, const std::string& separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        const size_t at = separator.empty() ? std::string::npos : line.find(separator, start);
        pieces.push_back(
            line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + separator.size();
    }
    return pieces;
}

}  // namespace

std::optional<TableSnapshot> takeSnapshot(const std::filesystem::path& database,
                                          const std::string& table) {
    try {
        auto db = jet::Database::open(database, jet::OpenMode::ReadOnly);
        jet::Table t = db->table(table);
        const int employee = t.columnIndex("Employee#");
        const int typeFor = t.columnIndex("Type for"), type = t.columnIndex("Type"),
                  code = t.columnIndex("Code");
        TableSnapshot snapshot;
        t.scan([&](jet::RowId, const jet::Row& row) {
            ++snapshot.rows;
            if (employee < 0) return true;
            const std::string who = textOf(row[static_cast<size_t>(employee)]);
            ++snapshot.rowsByEmployee[who];
            if (typeFor >= 0 && type >= 0 && code >= 0) {
                snapshot.payItems.insert(who + "|" + textOf(row[static_cast<size_t>(typeFor)]) +
                                         textOf(row[static_cast<size_t>(type)]) +
                                         textOf(row[static_cast<size_t>(code)]));
            }
            return true;
        });
        return snapshot;
    } catch (...) {
        return std::nullopt;
    }
}

std::vector<LineAmounts> readLines(const std::filesystem::path& textFile,
                                   const std::string& separator, long limit,
                                   const std::filesystem::path& layoutDatabase,
                                   const std::string& layoutTable) {
    const std::vector<LayoutItem> layout = readLayout(layoutDatabase, layoutTable);
    std::vector<LineAmounts> lines;
    forEachLine(textFile, limit, [&](const std::string& bytes) {
        if (bytes.empty()) return;
        const std::vector<std::string> pieces = split(text::windows874ToUtf8(bytes), separator);
        auto column = [&](long fieldNo) -> const std::string* {
            const size_t at = static_cast<size_t>(fieldNo - 1);
            return at < pieces.size() ? &pieces[at] : nullptr;
        };
        LineAmounts line;
        if (layout.empty() || layout.front().no != 1) {
            line.employee = pieces.front();
        } else {
            if (const std::string* code = column(layout.front().fieldNo)) line.employee = *code;
            for (size_t i = 1; i < layout.size(); ++i) {
                const std::string* amount = column(layout[i].fieldNo);
                // A digit other than zero: what the transfer converts to a non-zero amount.
                if (amount && amount->find_first_of("123456789") != std::string::npos) {
                    line.nonZeroKeys.push_back(layout[i].key.substr(0, 5));
                }
            }
        }
        lines.push_back(std::move(line));
    });
    return lines;
}

std::pair<long, long> countLines(const std::filesystem::path& textFile, long limit) {
    long lines = 0, nonBlank = 0;
    forEachLine(textFile, limit, [&](const std::string& bytes) {
        ++lines;
        if (!bytes.empty()) ++nonBlank;
    });
    return {lines, nonBlank};
}

}  // namespace cli
