// Compacting: copy, empty every table, write its rows again packed, cut off the free tail.
//
// Pages that keep their numbers (definitions, usage-map rows, the catalog) are never freed, so
// nothing that names a page or an object id needs rewriting. Rows are read from the original,
// which stays open (and held against writers) until the copy is done.
#include "jet/compact.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <system_error>

#include "jet/catalog.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/file_system.h"
#include "jet/index_pack.h"
#include "jet/page_builders.h"
#include "jet/path_text.h"
#include "jet/table_write.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

// Rows written per commit: bounds the pages a transaction keeps in memory.
constexpr uint64_t kRowsPerCommit = 50000;

fs::path withSuffix(const fs::path& path, const char* suffix) {
    fs::path out = path;
    out += suffix;
    return out;
}

// A file this compact made and removes again unless it is kept.
struct Scratch {
    fs::path path;
    bool keep = false;
    ~Scratch() {
        if (keep || path.empty()) return;
        std::error_code ignored;
        fs::remove(path, ignored);
    }
};

// The original, held for writing so that no other program changes it meanwhile. A file nobody
// may write (read-only) cannot change either, so reading it is enough.
std::shared_ptr<Database> openOriginal(const fs::path& path) {
    try {
        return Database::open(path, OpenMode::ReadWrite);
    } catch (const Error& e) {
        if (e.code() != ErrorCode::ReadOnly) throw;
    }
    auto db = Database::open(path, OpenMode::ReadOnly);
    if (db->jetVersion() < 4) {
        throw Error(ErrorCode::Unsupported, utf8FromPath(path) +
                                                ": Access 97 (Jet 3) databases can be read but "
                                                "not written, so not compacted");
    }
    return db;
}

// Every page of the original as it was last committed, to a new file.
void copyPages(Pager& from, const fs::path& to) {
    File out = File::open(to, FileMode::CreateNew, "cannot create the compacted file");
    const uint32_t count = from.pageCount();
    const uint32_t size = from.pageSize();
    constexpr uint32_t kBlock = 64;
    for (uint32_t first = 0; first < count; first += kBlock) {
        std::vector<PageRef> held;
        std::vector<const uint8_t*> blocks;
        for (uint32_t p = first; p < count && p < first + kBlock; ++p) {
            held.push_back(from.read(p));
            blocks.push_back(held.back()->data());
        }
        out.writeAt(blocks, size, uint64_t(first) * size);
    }
    out.sync();
}

// The usage-map rows of a table (data, free space, long values, each index).
std::vector<RowPointer> mapsOf(const Tdef& tdef) {
    std::vector<RowPointer> maps = {tdef.ownedMap, tdef.freeMap};
    for (const LongValueMaps& m : tdef.longValueMaps) {
        maps.push_back(m.ownedMap);
        maps.push_back(m.freeMap);
    }
    for (const RealIndex& real : tdef.realIndexes) maps.push_back(real.usageMap);
    std::erase_if(maps, [](RowPointer p) { return p.page == 0; });
    return maps;
}

class Compactor {
  public:
    Compactor(Database& original, Database& copy, const CompactProgress& progress)
        : original_(original),
          copy_(copy),
          impl_(*copy.impl()),
          pager_(impl_.pager()),
          format_(impl_.format()),
          file_(impl_.fileName()),
          progress_(progress) {}

    void run() {
        choose();
        empty();
        refill();
        lowerBitmapPages();
    }
    const CompactResult& result() const { return result_; }

    // The last page in use; the pages after it can go.
    uint32_t lastUsedPage() {
        UsageMap global = UsageMap::read(pager_, format_, kGlobalMap, file_);
        uint32_t last = 1;
        for (uint32_t p = pager_.pageCount(); p-- > 2;) {
            if (!globalMapSaysFree(global, format_, p)) {
                last = p;
                break;
            }
        }
        for (uint32_t p = 2; p < last; ++p)
            if (globalMapSaysFree(global, format_, p)) ++result_.freePagesLeft;
        return last;
    }

  private:
    struct Plan {
        uint32_t tdefPage = 0;
        std::string name;
        std::set<uint32_t> pages;  // data, long-value and index pages to give back
    };

    void say(const std::string& line) {
        if (progress_) progress_(line);
    }

    void keep(const std::string& name, const std::string& why) {
        result_.keptAsStored.push_back(name + ": " + why);
        say("kept as stored: " + name + " (" + why + ")");
    }

    // Which tables are rewritten, and the pages each one gives back.
    void choose() {
        const Catalog& catalog = impl_.catalog();
        std::set<uint32_t> fixedPages = {0, kGlobalMap.page};
        std::set<uint64_t> mapRows;  // page << 8 | row
        std::map<uint32_t, Plan*> byTdef;
        std::set<uint32_t> tdefPages = {kCatalogTdefPage};
        for (const CatalogEntry& entry : catalog.tables()) tdefPages.insert(entry.tdefPage());
        for (uint32_t tdefPage : tdefPages) {
            const Tdef& tdef = impl_.tableAt(tdefPage).tdef();
            for (uint32_t p : tdef.pages) fixedPages.insert(p);
            for (RowPointer m : mapsOf(tdef)) {
                fixedPages.insert(m.page);
                mapRows.insert(uint64_t(m.page) << 8 | m.row);
            }
            for (const RealIndex& real : tdef.realIndexes) fixedPages.insert(real.rootPage);
        }
        for (const CatalogEntry& entry : catalog.tables()) {
            // The catalog keeps its pages: the object ids and rows everything else names.
            if (entry.tdefPage() == kCatalogTdefPage) continue;
            TableImpl& table = impl_.tableAt(entry.tdefPage());
            std::string why;
            for (const IndexDescriptor& d : table.indexDescriptors()) {
                if (!d.keysBuildable())
                    why = "index " + d.name +
                          " uses a sort order the engine "
                          "cannot build keys for";
            }
            if (!why.empty()) {
                keep(table.name(), why);
                continue;
            }
            plans_.push_back(Plan{entry.tdefPage(), table.name(), {}});
        }
        for (Plan& plan : plans_) byTdef[plan.tdefPage] = &plan;

        // One pass over the file: every data and index page names the table it belongs to.
        UsageMap global = UsageMap::read(pager_, format_, kGlobalMap, file_);
        std::set<uint32_t> blocked;
        for (uint32_t p = 2; p < pager_.pageCount(); ++p) {
            if (globalMapSaysFree(global, format_, p)) continue;
            PageRef ref = pager_.read(p);
            const uint8_t* page = ref->data();
            const uint8_t type = page[0];
            if (type != page_type::kData && type != page_type::kIndexNode &&
                type != page_type::kIndexLeaf)
                continue;
            auto owner = byTdef.find(getU32(page + format_.dataOwner));
            if (owner == byTdef.end()) continue;
            if (!fixedPages.contains(p)) {
                owner->second->pages.insert(p);
                continue;
            }
            // A page of map rows owned by a table: the table is rewritten only when none of
            // its rows shares the page.
            if (type != page_type::kData) continue;
            const uint16_t slots = data_page::slotCount(page, format_);
            for (uint16_t r = 0; r < slots; ++r) {
                const bool deleted = data_page::slotFlags(page, format_, r) & kRowDeleted;
                if (!deleted && !mapRows.contains(uint64_t(p) << 8 | r))
                    blocked.insert(owner->first);
            }
        }
        // Long values live on pages marked LVAL, listed in their table's maps.
        for (Plan& plan : plans_) {
            const Tdef& tdef = impl_.tableAt(plan.tdefPage).tdef();
            std::vector<RowPointer> lists = {tdef.ownedMap};
            for (const LongValueMaps& m : tdef.longValueMaps) lists.push_back(m.ownedMap);
            for (RowPointer list : lists) {
                if (list.page == 0) continue;
                const UsageMap listed = UsageMap::read(pager_, format_, list, file_);
                for (uint32_t p : listed.pages()) {
                    if (p < 2 || p >= pager_.pageCount() || fixedPages.contains(p) ||
                        globalMapSaysFree(global, format_, p))
                        continue;
                    PageRef ref = pager_.read(p);
                    if ((*ref)[0] == page_type::kData &&
                        std::memcmp(ref->data() + format_.dataOwner, kLvalOwner, 4) == 0)
                        plan.pages.insert(p);
                }
            }
        }
        std::erase_if(plans_, [&](const Plan& plan) {
            if (!blocked.contains(plan.tdefPage)) return false;
            keep(plan.name, "its rows share a page with usage maps");
            return true;
        });
    }

    // Gives back every rewritten table's pages and leaves each table with no rows.
    void empty() {
        copy_.begin();
        for (const Plan& plan : plans_) {
            TableImpl& table = impl_.tableAt(plan.tdefPage);
            const Tdef& tdef = table.tdef();
            // Free-space maps lose every page; the other maps the pages given back.
            std::vector<RowPointer> freeMaps = {tdef.freeMap};
            for (const LongValueMaps& m : tdef.longValueMaps) freeMaps.push_back(m.freeMap);
            auto isFreeMap = [&](RowPointer map) {
                return std::any_of(freeMaps.begin(), freeMaps.end(), [&](RowPointer f) {
                    return f.page == map.page && f.row == map.row;
                });
            };
            for (RowPointer map : mapsOf(tdef)) {
                const bool all = isFreeMap(map);
                const UsageMap listed = UsageMap::read(pager_, format_, map, file_);
                for (uint32_t p : listed.pages()) {
                    if (all || plan.pages.contains(p))
                        removePageFromMap(pager_, format_, map, p, file_);
                }
            }
            for (uint32_t p : plan.pages) freePage(pager_, format_, p, file_);
            uint8_t* first = pager_.write(tdef.firstPage);
            putU32(first + format_.tdefRowCount, 0);
            for (const RealIndex& real : tdef.realIndexes) {
                const PageBuffer leaf = create::emptyIndexLeaf(tdef.firstPage);
                std::memcpy(pager_.write(real.rootPage), leaf.data(), format_.pageSize);
                // The unique-key statistic counts again as the rows come back.
                if (real.slotOffset + 8 <= format_.pageSize)
                    putU32(pager_.write(tdef.firstPage) + real.slotOffset + 4, 0);
            }
        }
        copy_.commit();
        impl_.invalidate();
    }

    void refill() {
        DatabaseImpl& from = *original_.impl();
        for (const Plan& plan : plans_) {
            const TableImpl& source = from.tableAt(plan.tdefPage);
            TableImpl& target = impl_.tableAt(plan.tdefPage);
            const uint32_t counter = source.tdef().autoNumber;
            say("table " + plan.name + ": " + std::to_string(source.tdef().rowCount) + " rows");
            uint64_t rows = 0;
            std::vector<IndexEntries> entries(target.indexDescriptors().size());
            const IndexEntrySink sink = [&](size_t index, const std::vector<uint8_t>& key, RowId id,
                                            bool hasNull) { entries[index].add(key, id, hasNull); };
            copy_.begin();
            try {
                source.scan([&](RowId, const Row& row) {
                    restoreRow(target, row, counter, sink);
                    if (++rows % kRowsPerCommit == 0) {
                        copy_.commit();
                        copy_.begin();
                        say("  " + std::to_string(rows) + " rows");
                    }
                    return true;
                });
                copy_.commit();
                packIndexes(target, entries);
            } catch (const Error& e) {
                if (copy_.inTransaction()) copy_.rollback();
                throw Error(e.code(), "cannot write table " + plan.name + " again (row " +
                                          std::to_string(rows + 1) + "): " + e.what());
            }
            result_.rowsWritten += rows;
            ++result_.tablesRewritten;
        }
    }

    // Each index of the table built whole from its rows' entries, pages full and in order.
    void packIndexes(TableImpl& table, std::vector<IndexEntries>& entries) {
        copy_.begin();
        const std::vector<IndexDescriptor>& indexes = table.indexDescriptors();
        for (size_t i = 0; i < indexes.size(); ++i) {
            const IndexDescriptor& d = indexes[i];
            IndexTree::PageHooks hooks;
            const RowPointer map = d.usageMap;
            hooks.allocate = [this, map] {
                const uint32_t page = allocatePage(pager_, format_, file_);
                if (map.page != 0) addPageToMap(pager_, format_, map, page, file_);
                return page;
            };
            hooks.release = [this, map](uint32_t page) {
                if (map.page != 0) removePageFromMap(pager_, format_, map, page, file_);
                freePage(pager_, format_, page, file_);
            };
            const uint32_t distinct = packIndex(pager_, d, entries[i], hooks);
            entries[i] = IndexEntries();
            setUniqueCount(table, d.number, distinct);
        }
        copy_.commit();
    }

    // The index's "unique key count" statistic, in its slot on the definition's first page.
    void setUniqueCount(TableImpl& table, int realIndex, uint32_t count) {
        for (const RealIndex& real : table.tdef().realIndexes) {
            if (real.number != realIndex || real.slotOffset + 8 > format_.pageSize) continue;
            putU32(pager_.write(table.tdef().firstPage) + real.slotOffset + 4, count);
        }
    }

    // The bitmap pages of reference maps (the free-page map's and large tables') were taken
    // when the file was large and would keep its end in use. Each is named by one pointer in its
    // map's row, so it moves to the lowest free page below it.
    void lowerBitmapPages() {
        std::vector<RowPointer> maps = {kGlobalMap};
        for (const CatalogEntry& entry : impl_.catalog().tables()) {
            for (RowPointer m : mapsOf(impl_.tableAt(entry.tdefPage()).tdef())) maps.push_back(m);
        }
        copy_.begin();
        pager_.setFreePageHint(0);
        for (RowPointer where : maps) {
            const UsageMap map = UsageMap::read(pager_, format_, where, file_);
            if (map.type() != UsageMap::kReference) continue;
            for (size_t k = 0; k < map.bitmapPages().size(); ++k) {
                const uint32_t old = map.bitmapPages()[k];
                if (old == 0) continue;
                const PageBuffer bits = *pager_.read(old);
                const uint32_t lower = allocatePage(pager_, format_, file_);
                if (lower > old) {
                    // Already below every free page.
                    freePage(pager_, format_, lower, file_);
                    continue;
                }
                std::memcpy(pager_.write(lower), bits.data(), format_.pageSize);
                PageRef ref = pager_.read(where.page);
                const uint8_t* row = data_page::rowBytes(ref->data(), format_, where.row).data();
                const size_t at = size_t(row - ref->data()) + 1 + 4 * k;
                putU32(pager_.write(where.page) + at, lower);
                freePage(pager_, format_, old, file_);
            }
        }
        copy_.commit();
    }

    Database& original_;
    Database& copy_;
    DatabaseImpl& impl_;
    Pager& pager_;
    const JetFormat& format_;
    const std::string& file_;
    const CompactProgress& progress_;
    std::vector<Plan> plans_;
    CompactResult result_;
};

// Builds the compacted copy of the open `original` at `target` (a new name) and checks it.
CompactResult build(Database& original, const fs::path& target, const CompactProgress& progress) {
    DatabaseImpl& impl = *original.impl();
    CompactResult result;
    const uint64_t pageSize = impl.pager().pageSize();
    result.sizeBefore = uint64_t(impl.pager().pageCount()) * pageSize;
    copyPages(impl.pager(), target);
    uint32_t lastUsed = 0;
    {
        auto copy = Database::open(target, OpenMode::ReadWrite);
        // The work file's commits hold rows whose index entries come later, when each index is
        // built whole; it is checked entire once done, so no commit is checked on its own.
        copy->impl()->pager().setCommitObserver(nullptr);
        Compactor compactor(original, *copy, progress);
        compactor.run();
        lastUsed = compactor.lastUsedPage();
        const uint64_t before = result.sizeBefore;
        result = compactor.result();
        result.sizeBefore = before;
    }
    result.sizeAfter = (uint64_t(lastUsed) + 1) * pageSize;
    {
        File file = File::open(target, FileMode::ReadWrite, "cannot open the compacted file");
        file.truncate(result.sizeAfter);
        file.sync();
    }
    return result;
}

// The engine's check of every index against its rows; the first problem, or an empty text.
std::string firstProblem(const fs::path& file) {
    try {
        std::vector<std::string> problems = Database::open(file, OpenMode::ReadOnly)->check();
        return problems.empty() ? std::string() : problems.front();
    } catch (const Error& e) {
        return e.what();
    }
}

void requireAbsent(const fs::path& path) {
    std::error_code ec;
    if (fs::exists(path, ec))
        throw Error(ErrorCode::Io, utf8FromPath(path) + ": already exists; nothing was written");
}

}  // namespace

fs::path compactBackupPath(const fs::path& file) {
    return withSuffix(file, ".bak");
}

CompactResult compactDatabase(const fs::path& source, const fs::path& target,
                              const CompactProgress& progress) {
    requireAbsent(target);
    auto original = openOriginal(source);
    const fs::path building = withSuffix(target, ".compacting");
    requireAbsent(building);
    Scratch scratch{building};
    CompactResult result = build(*original, building, progress);
    // The copy is complete: the original is free for others again while the copy is checked.
    original.reset();
    if (std::string problem = firstProblem(building); !problem.empty()) {
        throw Error(ErrorCode::Corrupt,
                    utf8FromPath(target) + ": the compacted file fails its check: " + problem);
    }
    requireAbsent(target);
    if (std::string failure = moveFileOver(building, target); !failure.empty()) {
        throw Error(ErrorCode::Io,
                    utf8FromPath(target) + ": cannot give the compacted file its name: " + failure);
    }
    scratch.keep = true;
    return result;
}

CompactResult compactInPlace(const fs::path& file, const CompactProgress& progress) {
    const fs::path building = withSuffix(file, ".compacting");
    const fs::path backup = compactBackupPath(file);
    requireAbsent(backup);
    CompactResult result;
    {
        auto original = openOriginal(file);
        // Another user of the file in this process would go on writing the old file once the
        // new one has taken its name.
        if (original.use_count() > 1) {
            throw Error(ErrorCode::InUse,
                        utf8FromPath(file) + ": the database is in use here; close it first");
        }
        if (!original->writable()) {
            throw Error(ErrorCode::ReadOnly,
                        utf8FromPath(file) +
                            ": the database cannot be written, so it cannot be "
                            "compacted where it is");
        }
        requireAbsent(building);
        Scratch scratch{building};
        result = build(*original, building, progress);
        // The old file under a second name (a link where the system has them), then the new one
        // over the old name in one step: at no moment is there no database under that name.
        std::error_code ec;
        fs::create_hard_link(file, backup, ec);
        if (ec) fs::copy_file(file, backup, ec);
        if (ec) {
            throw Error(ErrorCode::Io,
                        utf8FromPath(backup) + ": cannot keep the old file: " + ec.message());
        }
        Scratch backupScratch{backup};
        original.reset();
        if (std::string failure = moveFileOver(building, file); !failure.empty()) {
            throw Error(ErrorCode::Io, utf8FromPath(file) +
                                           ": cannot put the compacted file in place: " + failure);
        }
        scratch.keep = true;
        backupScratch.keep = true;
    }
    if (std::string problem = firstProblem(file); !problem.empty()) {
        const std::string failure = moveFileOver(backup, file);
        throw Error(ErrorCode::Corrupt,
                    utf8FromPath(file) + ": the compacted file failed its check (" + problem +
                        "); " +
                        (failure.empty() ? "the old file is back in place"
                                         : "the old file is kept as " + utf8FromPath(backup)));
    }
    std::error_code ignored;
    fs::remove(backup, ignored);
    return result;
}

}  // namespace jet
