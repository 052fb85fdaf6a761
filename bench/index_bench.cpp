// Index maintenance speed: inserting a payroll-sized batch of entries into fresh indexes
// (AutoNumber-like ascending Long keys, random Thai/Latin text keys), then seeking each key once.
// Usage: index_bench [rows]   (default 32767). Prints one line per phase.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_tree.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 32767;
    auto dir = std::filesystem::temp_directory_path() / "index_bench";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto db = jet::Database::create(dir / "bench.mdb");
    jet::Pager& pager = db->impl()->pager();
    pager.begin();

    auto freshIndex = [&](const char* name) {
        jet::IndexDescriptor d;
        d.name = name;
        d.tdefPage = 2;
        d.rootPage = pager.append();
        jet::IndexPage empty;
        empty.tdefPage = 2;
        jet::encodeIndexPage(empty, pager.write(d.rootPage), jet::JetFormat::jet4());
        return d;
    };
    jet::IndexDescriptor byId = freshIndex("ById"), byName = freshIndex("ByName");

    std::mt19937 rng(7);
    const char* names[] = {"สมชาย", "สมหญิง", "Müller", "Anan", "กนกวรรณ", "Somsak"};
    std::vector<jet::IndexKey> idKeys, nameKeys;
    for (int i = 0; i < rows; ++i) {
        jet::IndexKey a, b;
        jet::appendKeySegment(a, jet::ColumnType::Long, true, jet::Value(int32_t(i + 1)));
        std::string text = names[rng() % 6] + std::string(" ") + std::to_string(rng() % 100000);
        jet::appendKeySegment(b, jet::ColumnType::Text, true, jet::Value(text));
        idKeys.push_back(std::move(a));
        nameKeys.push_back(std::move(b));
    }

    auto start = std::chrono::steady_clock::now();
    jet::IndexTree ids(pager, byId), texts(pager, byName);
    for (int i = 0; i < rows; ++i) {
        jet::RowId id{uint32_t(100 + i / 40), uint8_t(i % 40)};
        ids.insert(idKeys[size_t(i)], id);
        texts.insert(nameKeys[size_t(i)], id);
    }
    double insertSeconds = secondsSince(start);
    std::printf("insert: %d rows into 2 indexes in %.3f s (%.0f rows/s), %u pages in file\n", rows,
                insertSeconds, rows / insertSeconds, pager.pageCount());

    start = std::chrono::steady_clock::now();
    uint64_t before = texts.pagesRead();
    for (int i = 0; i < rows; ++i) texts.containsKey(nameKeys[size_t(i)]);
    double seekSeconds = secondsSince(start);
    std::printf("seek: %d text keys in %.3f s, %.1f pages read per seek\n", rows, seekSeconds,
                double(texts.pagesRead() - before) / rows);

    start = std::chrono::steady_clock::now();
    pager.commit();
    std::printf("commit: %.3f s\n", secondsSince(start));
    std::filesystem::remove_all(dir);
    return 0;
}
