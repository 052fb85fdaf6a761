// Fuzz target: writing into any bytes taken as a database file. For each user table the first
// row is read, rewritten, removed and inserted again, and the transaction committed. Each step
// may be refused with jet::Error; none may crash. A file the index check found sound before
// must still be sound after whatever the writes managed to commit.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "fuzz/fuzz_scratch.h"
#include "jet/database.h"

namespace {

void rewriteFirstRows(jet::Database& db) {
    for (const std::string& name : db.tableNames()) {
        jet::Table table = db.table(name);
        std::optional<jet::RowId> first;
        table.scan([&](jet::RowId id, const jet::Row&) {
            first = id;
            return false;
        });
        if (!first) continue;
        const jet::Row row = table.read(*first);
        db.begin();
        try {
            table.update(*first, row);
            table.remove(*first);
            table.insert(row);
            db.commit();
        } catch (const jet::Error&) {
            db.rollback();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzing::ScratchDir scratch;
    const auto path = scratch.write("input.mdb", data, size);
    bool soundBefore = false;
    try {
        auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
        soundBefore = db->check().empty();
        rewriteFirstRows(*db);
    } catch (const jet::Error&) {
    }
    if (!soundBefore) return 0;
    try {
        auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
        const auto problems = db->check();
        if (!problems.empty()) {
            std::fprintf(stderr, "a sound file was damaged by writes: %s\n", problems[0].c_str());
            std::abort();
        }
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "a sound file no longer opens after writes: %s\n", e.what());
        std::abort();
    }
    return 0;
}
