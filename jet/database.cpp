#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "jet/database_impl.h"
#include "jet/file.h"
#include "jet/index_check.h"
#include "jet/index_update.h"
#include "jet/long_value.h"
#include "jet/properties.h"
#include "jet/table_check.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"

namespace jet {

namespace fs = std::filesystem;

namespace {

// One Database per file per process.
std::mutex registryMutex;
// Open databases by resolved path, with the identity their file had when opened (where the
// system tells it without a handle): a file put in the place of an open one is another file.
struct OpenFile {
    std::weak_ptr<Database> database;
    std::optional<FileId> identity;
};
std::map<fs::path, OpenFile>& registry() {
    static std::map<fs::path, OpenFile> r;
    return r;
}

// Names as given -> the path they resolved to when last opened.
std::unordered_map<std::string, fs::path>& resolvedNames() {
    static std::unordered_map<std::string, fs::path> names;
    return names;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TableImpl

TableImpl::TableImpl(DatabaseImpl& db, const CatalogEntry& entry) : db_(db), entry_(entry) {
    load();
}

void TableImpl::reload() {
    load();
}

void TableImpl::reload(const CatalogEntry& entry) {
    entry_ = entry;
    load();
}

void TableImpl::load() {
    tdef_ = readTdef(db_.pager(), db_.format(), entry_.tdefPage(), db_.header().codePage,
                     db_.fileName());
    properties_ = parseProperties(entry_.lvProp.data(), entry_.lvProp.size(),
                                  db_.header().jetVersion, db_.header().codePage, db_.fileName());
    for (Column& column : tdef_.columns) applyColumnProperties(properties_, column);
    indexes_ = tdef_.publicIndexes();
    descriptors_.reset();
    writeDescriptors_.reset();
    lastRead_.fill(LastRead{});
    // A rollback may have given the hinted page back to the free-page map, stale bytes and all.
    roomHint_ = 0;
    keepsLastRead_ = std::none_of(tdef_.columns.begin(), tdef_.columns.end(),
                                  [](const Column& c) { return c.isLongValue(); });
}

const std::vector<IndexDescriptor>& TableImpl::indexDescriptors() const {
    if (!descriptors_) descriptors_ = describeIndexes(*this);
    return *descriptors_;
}

const std::vector<IndexDescriptor>& TableImpl::writeDescriptors() const {
    if (writeDescriptors_) return *writeDescriptors_;
    std::vector<IndexDescriptor> out = indexDescriptors();
    for (const LogicalIndex& logical : tdef_.logicalIndexes) {
        if (!logical.index.primaryKey) continue;
        for (IndexDescriptor& d : out) {
            if (d.number == logical.index.realIndex) d.flags |= kIndexRequired;
        }
    }
    writeDescriptors_ = std::move(out);
    return *writeDescriptors_;
}

ValueContext TableImpl::valueContext() const {
    ValueContext context;
    context.format = &db_.format();
    context.codePage = db_.header().codePage;
    const DatabaseImpl* db = &db_;
    context.readLongValue = [db](std::span<const uint8_t> stored) {
        return db->readLongValue(stored);
    };
    return context;
}

bool TableImpl::scanPage(uint32_t pageNumber,
                         const std::function<bool(RowId, const RowLayout&)>& visit) const {
    const JetFormat& format = db_.format();
    const std::string& file = db_.fileName();
    PageRef ref = db_.pager().read(pageNumber);
    const uint8_t* page = ref->data();
    // Maps may list pages that were since given to something else; only this table's data counts.
    if (page[0] != page_type::kData || getU32(page + format.dataOwner) != tdef_.firstPage)
        return true;
    uint16_t count = rowSlotCount(page, format, pageNumber, file);
    for (uint16_t r = 0; r < count && r < 256; ++r) {
        RowSlot slot = rowSlot(page, format, pageNumber, uint8_t(r), file);
        if (slot.deleted) continue;
        RowId id{pageNumber, uint8_t(r)};
        if (slot.lookup) {
            bool more = true;
            withRow(id, [&](const RowLayout& layout) { more = visit(id, layout); });
            if (!more) return false;
            continue;
        }
        RowLayout layout(format, tdef_, page + slot.start, slot.size(), pageNumber, uint8_t(r),
                         file);
        if (!visit(id, layout)) return false;
    }
    return true;
}

void TableImpl::withRow(RowId id, const std::function<void(const RowLayout&)>& use) const {
    const JetFormat& format = db_.format();
    const std::string& file = db_.fileName();
    auto missing = [&] {
        return Error(ErrorCode::NotFound, file + ": table " + name() + " has no row at page " +
                                              std::to_string(id.page) + " row " +
                                              std::to_string(id.row));
    };
    if (id.page == 0 || id.page >= db_.pager().pageCount()) throw missing();
    PageRef ref = db_.pager().read(id.page);
    const uint8_t* page = ref->data();
    if (page[0] != page_type::kData || getU32(page + format.dataOwner) != tdef_.firstPage ||
        id.row >= rowSlotCount(page, format, id.page, file))
        throw missing();
    RowSlot slot = rowSlot(page, format, id.page, id.row, file);
    if (slot.deleted) throw missing();
    if (!slot.lookup) {
        use(RowLayout(format, tdef_, page + slot.start, slot.size(), id.page, id.row, file));
        return;
    }
    // An overflow pointer: the row lives on another page of this table, in a slot marked deleted
    // so that page scans skip it.
    if (slot.size() < 4)
        throw fileError(ErrorCode::Corrupt, file,
                        "page " + std::to_string(id.page) + " row " + std::to_string(id.row) +
                            " is an overflow pointer too short to hold one");
    RowPointer target = getRowPointer(page + slot.start);
    auto bad = [&] {
        return fileError(ErrorCode::Corrupt, file,
                         "page " + std::to_string(id.page) + " row " + std::to_string(id.row) +
                             " points to a missing overflow row");
    };
    if (target.page == 0 || target.page >= db_.pager().pageCount()) throw bad();
    PageRef targetRef = db_.pager().read(target.page);
    const uint8_t* targetPage = targetRef->data();
    if (targetPage[0] != page_type::kData ||
        getU32(targetPage + format.dataOwner) != tdef_.firstPage ||
        target.row >= rowSlotCount(targetPage, format, target.page, file))
        throw bad();
    RowSlot targetSlot = rowSlot(targetPage, format, target.page, target.row, file);
    if (targetSlot.lookup) throw bad();
    use(RowLayout(format, tdef_, targetPage + targetSlot.start, targetSlot.size(), target.page,
                  target.row, file));
}

void TableImpl::scan(const std::function<bool(RowId, const Row&)>& visit) const {
    if (tdef_.ownedMap.page == 0) return;
    UsageMap map = UsageMap::read(db_.pager(), db_.format(), tdef_.ownedMap, db_.fileName());
    ValueContext context = valueContext();
    Row row;
    for (uint32_t page : map.pages()) {
        bool more = scanPage(page, [&](RowId id, const RowLayout& layout) {
            decodeRow(layout, tdef_, context, db_.fileName(), row);
            return visit(id, row);
        });
        if (!more) return;
    }
}

std::vector<RowId> TableImpl::rowIds() const {
    std::vector<RowId> ids;
    if (tdef_.ownedMap.page == 0) return ids;
    UsageMap map = UsageMap::read(db_.pager(), db_.format(), tdef_.ownedMap, db_.fileName());
    for (uint32_t page : map.pages()) {
        scanPage(page, [&](RowId id, const RowLayout&) {
            ids.push_back(id);
            return true;
        });
    }
    return ids;
}

uint64_t TableImpl::rowVersion(RowId id) const {
    Pager& pager = db_.pager();
    if (!keepsLastRead_ || id.page == 0 || id.page >= pager.pageCount()) return 0;
    return pager.version(id.page);
}

Row TableImpl::read(RowId id, uint64_t* versionOut) const {
    const uint64_t version = rowVersion(id);
    if (versionOut) *versionOut = 0;
    if (version != 0) {
        for (const LastRead& kept : lastRead_) {
            if (kept.version == version && kept.id == id) {
                if (versionOut) *versionOut = version;
                return kept.row;
            }
        }
    }
    Row row;
    ValueContext context = valueContext();
    bool onItsPage = false;
    withRow(id, [&](const RowLayout& layout) {
        decodeRow(layout, tdef_, context, db_.fileName(), row);
        onItsPage = layout.pageNumber() == id.page;
    });
    if (version != 0 && onItsPage) {
        if (versionOut) *versionOut = version;
        LastRead& kept = lastRead_[nextKept_];
        nextKept_ = (nextKept_ + 1) % kKeptRows;
        kept.id = id;
        kept.version = version;
        kept.row = row;
    }
    return row;
}

Value TableImpl::read(RowId id, int columnPosition) const {
    if (columnPosition < 0 || size_t(columnPosition) >= tdef_.columns.size())
        throw Error(ErrorCode::NotFound, "table " + name() + " has no column at position " +
                                             std::to_string(columnPosition));
    const Column& column = tdef_.columns[size_t(columnPosition)];
    Value out;
    ValueContext context = valueContext();
    withRow(id, [&](const RowLayout& layout) {
        bool present = layout.present(column);
        if (column.type == ColumnType::Boolean) {
            out = Value(present);
        } else if (present) {
            out = decodeValue(column, layout.bytes(column), context, db_.fileName());
        }
    });
    return out;
}

// ---------------------------------------------------------------------------------------------
// DatabaseImpl

DatabaseImpl::DatabaseImpl(fs::path path, std::string fileName, std::shared_ptr<Pager> pager,
                           HeaderInfo header)
    : path_(std::move(path)),
      fileName_(std::move(fileName)),
      pager_(std::move(pager)),
      header_(header),
      format_(&JetFormat::forVersion(header.jetVersion)) {}

const Catalog& DatabaseImpl::catalog() {
    if (!catalog_) {
        CatalogEntry objects;
        objects.id = int32_t(kCatalogTdefPage);
        objects.name = "MSysObjects";
        objects.flags = 0x80000000u;
        catalogTable_ = std::make_unique<TableImpl>(*this, objects);
        catalog_ = std::make_unique<Catalog>(*catalogTable_);
    }
    return *catalog_;
}

namespace {
// A history longer than this loses its older half; readers that far behind list the table again.
constexpr size_t kMaxRowChanges = size_t(1) << 20;
}  // namespace

void DatabaseImpl::noteRowChange(uint32_t tdefPage, RowId id, bool inserted) {
    ChangeLog& log = changeLogs_[tdefPage];
    if (log.entries.size() >= kMaxRowChanges) {
        const size_t dropped = log.entries.size() / 2;
        log.entries.erase(log.entries.begin(), log.entries.begin() + std::ptrdiff_t(dropped));
        log.base += dropped;
    }
    log.entries.push_back(uint64_t(id.page) << 9 | uint64_t(id.row) << 1 | (inserted ? 1 : 0));
}

uint64_t DatabaseImpl::changeStamp(uint32_t tdefPage) {
    const ChangeLog& log = changeLogs_[tdefPage];
    return log.base + log.entries.size();
}

bool DatabaseImpl::changesSince(uint32_t tdefPage, uint64_t stamp,
                                std::vector<Table::RowChange>& out) {
    const ChangeLog& log = changeLogs_[tdefPage];
    if (stamp < log.base || stamp > log.base + log.entries.size()) return false;
    for (size_t i = size_t(stamp - log.base); i < log.entries.size(); ++i) {
        const uint64_t e = log.entries[i];
        out.push_back({RowId{uint32_t(e >> 9), uint8_t(e >> 1)}, (e & 1) != 0});
    }
    return true;
}

void DatabaseImpl::invalidate() {
    // A stamp taken before this point can never be caught up with.
    for (auto& [page, log] : changeLogs_) {
        log.base += log.entries.size() + 1;
        log.entries.clear();
    }
    // Table handles stay valid: their TableImpl objects are re-read in place.
    catalog_.reset();
    catalogTable_.reset();
    const Catalog& c = catalog();
    for (auto& [page, table] : tables_) {
        if (const CatalogEntry* entry = c.findTableAt(page)) table->reload(*entry);
    }
}

TableImpl& DatabaseImpl::tableAt(uint32_t tdefPage) {
    auto it = tables_.find(tdefPage);
    if (it != tables_.end()) return *it->second;
    const CatalogEntry* entry = catalog().findTableAt(tdefPage);
    if (!entry)
        throw fileError(ErrorCode::NotFound, fileName_,
                        "no table has its definition on page " + std::to_string(tdefPage));
    auto table = std::make_unique<TableImpl>(*this, *entry);
    TableImpl& ref = *table;
    tables_.emplace(tdefPage, std::move(table));
    return ref;
}

TableImpl& DatabaseImpl::table(std::string_view name) {
    const CatalogEntry* entry = catalog().findTable(name);
    if (!entry)
        throw fileError(ErrorCode::NotFound, fileName_, "has no table " + std::string(name));
    return tableAt(entry->tdefPage());
}

Bytes DatabaseImpl::readLongValue(std::span<const uint8_t> stored) const {
    return jet::readLongValue(*pager_, *format_, stored, fileName_);
}

// ---------------------------------------------------------------------------------------------
// Table

const std::string& Table::name() const {
    return impl_->name();
}
bool Table::isSystem() const {
    return impl_->isSystem();
}
const std::vector<Column>& Table::columns() const {
    return impl_->columns();
}
const std::vector<Index>& Table::indexes() const {
    return impl_->indexes();
}
uint32_t Table::rowCount() const {
    return impl_->tdef().rowCount;
}

int Table::columnIndex(std::string_view name) const {
    const auto& cols = columns();
    for (size_t i = 0; i < cols.size(); ++i)
        if (sameName(cols[i].name, name)) return int(i);
    return -1;
}

int Table::indexIndex(std::string_view name) const {
    const auto& idx = indexes();
    for (size_t i = 0; i < idx.size(); ++i)
        if (sameName(idx[i].name, name)) return int(i);
    return -1;
}

int Table::primaryKeyIndex() const {
    const auto& idx = indexes();
    for (size_t i = 0; i < idx.size(); ++i)
        if (idx[i].primaryKey) return int(i);
    return -1;
}

void Table::scan(const std::function<bool(RowId, const Row&)>& visit) const {
    impl_->scan(visit);
}
std::vector<RowId> Table::rowIds() const {
    return impl_->rowIds();
}
uint64_t Table::changeStamp() const {
    return impl_->db().changeStamp(impl_->tdef().firstPage);
}
bool Table::changesSince(uint64_t stamp, std::vector<RowChange>& out) const {
    return impl_->db().changesSince(impl_->tdef().firstPage, stamp, out);
}
Row Table::read(RowId id) const {
    return impl_->read(id);
}
Row Table::read(RowId id, uint64_t& version) const {
    return impl_->read(id, &version);
}
uint64_t Table::rowVersion(RowId id) const {
    return impl_->rowVersion(id);
}
Value Table::read(RowId id, int columnPosition) const {
    return impl_->read(id, columnPosition);
}

// ---------------------------------------------------------------------------------------------
// Database

Database::Database(std::unique_ptr<DatabaseImpl> impl) : impl_(std::move(impl)) {}
Database::~Database() = default;

RecoveryReport Database::recover(const fs::path& path) {
    return Pager::recover(path);
}

std::string Database::describe(const fs::path& path, const RecoveryReport& report) {
    const std::string file = "'" + path.string() + "'";
    const std::string journal = "'" + report.journal.string() + "'";
    std::string line;
    using Outcome = RecoveryReport::Outcome;
    switch (report.outcome) {
        case Outcome::NoJournal:
            line = file + ": no journal";
            break;
        case Outcome::Incomplete:
            line = file + ": removed " + journal +
                   ", the journal of a change that stopped before it touched the file";
            break;
        case Outcome::NothingToDo:
            line =
                file + ": removed " + journal + "; the interrupted change had not touched the file";
            break;
        case Outcome::Finished:
            line = file + ": the interrupted change had been written whole; kept it and removed " +
                   journal;
            break;
        case Outcome::PlayedBack:
            line = file + ": played back " + journal +
                   "; the file is as it was before the interrupted change";
            break;
        case Outcome::SetAside:
            line = journal + " does not belong to " + file + " (" + report.reason +
                   "); set it aside as '" + report.setAsideAs.string() +
                   "' and left the file as it is. If the database was restored from a backup or "
                   "replaced on purpose, open it again; otherwise check it or restore a backup "
                   "before using it";
            break;
    }
    if (report.staleLockRemoved) {
        line += (report.outcome == Outcome::NoJournal ? "; " : "; also ");
        line += "removed a lock file nobody held";
    }
    return line;
}

std::shared_ptr<Database> Database::open(const fs::path& path, OpenMode mode) {
    // A name opened before that still leads to the same file needs no resolving again: a
    // transfer opens the payroll database once per line. The open file keeps its identity from
    // being given to another file meanwhile.
    const std::optional<FileId> identity = identityOfPath(path);
    std::unique_lock lock(registryMutex);
    auto& reg = registry();
    std::erase_if(reg, [](const auto& entry) { return entry.second.database.expired(); });
    // `byName`: found through a name alone, which is good only for the very file open.
    auto alreadyOpen = [&](const fs::path& canonical, bool byName) -> std::shared_ptr<Database> {
        auto it = reg.find(canonical);
        if (it == reg.end()) return nullptr;
        const std::optional<FileId>& known = it->second.identity;
        if (identity && known ? *known != *identity : byName) return nullptr;
        std::shared_ptr<Database> existing = it->second.database.lock();
        // The pager is shared per file too: asking it for writing upgrades the one in use.
        if (existing && mode == OpenMode::ReadWrite && !existing->writable())
            Pager::open(path, mode);
        return existing;
    };
    auto& names = resolvedNames();
    if (auto known = names.find(path.string()); identity && known != names.end()) {
        if (auto existing = alreadyOpen(known->second, true)) return existing;
    }
    lock.unlock();
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    if (ec)
        throw fileError(ErrorCode::NotFound, path.string(), "cannot be opened: " + ec.message());
    lock.lock();
    if (identity) {
        constexpr size_t kMaxNames = 64;
        if (names.size() >= kMaxNames) names.clear();
        names[path.string()] = canonical;
    }
    if (auto existing = alreadyOpen(canonical, false)) return existing;

    std::shared_ptr<Pager> pager = Pager::open(path, mode);
    PageRef first = pager->read(0);
    HeaderInfo header = readHeader(first->data(), first->size(), path.string());
    if (pager->pageCount() <= kCatalogTdefPage)
        throw fileError(ErrorCode::NotADatabase, path.string(), "is too short to be a database");
    auto impl = std::make_unique<DatabaseImpl>(canonical, path.string(), pager, header);
    checkEveryCommit(pager, canonical, path.string(), header);
    // Reads the catalog now so that a damaged one is reported at open.
    impl->catalog();
    auto db = std::make_shared<Database>(std::move(impl));
    reg[canonical] = OpenFile{db, identity};
    return db;
}

const fs::path& Database::path() const {
    return impl_->path();
}
int Database::jetVersion() const {
    return impl_->header().jetVersion;
}
bool Database::writable() const {
    return impl_->pager().writable();
}

std::vector<std::string> Database::tableNames(bool includeSystem) const {
    std::vector<std::string> names;
    for (const auto& e : impl_->catalog().tables())
        if (includeSystem || !e.isSystem()) names.push_back(e.name);
    return names;
}

bool Database::hasTable(std::string_view name) const {
    return impl_->catalog().findTable(name) != nullptr;
}

Table Database::table(std::string_view name) const {
    return Table(&impl_->table(name));
}

void Database::begin() {
    impl_->pager().begin();
}
bool Database::inTransaction() const {
    return impl_->pager().inTransaction();
}
Database::Savepoint Database::savepoint() {
    return impl_->pager().savepoint();
}
Database::Savepoint Database::coarseSavepoint() {
    return impl_->pager().coarseSavepoint();
}
void Database::rollbackTo(Savepoint savepoint) {
    impl_->pager().rollbackTo(savepoint);
    impl_->invalidate();
}
void Database::release(Savepoint savepoint) {
    impl_->pager().release(savepoint);
}
void Database::commit() {
    try {
        impl_->pager().commit();
    } catch (...) {
        // A failed commit rolls the transaction back: drop definitions read inside it.
        impl_->invalidate();
        throw;
    }
}
void Database::rollback() {
    impl_->pager().rollback();
    impl_->invalidate();
}

std::vector<std::string> Database::check(const std::function<void(const std::string&)>& report) {
    std::vector<std::string> problems;
    const Catalog& catalog = impl_->catalog();
    std::vector<CatalogEntry> tables = catalog.tables();  // a copy: tableAt may re-read the catalog
    for (const auto& entry : tables) {
        try {
            TableImpl& table = impl_->tableAt(entry.tdefPage());
            auto found = checkTableIndexes(table, report);
            problems.insert(problems.end(), found.begin(), found.end());
        } catch (const Error& e) {
            problems.push_back("table " + entry.name + ": " + e.what());
        }
    }
    return problems;
}

namespace {

[[noreturn]] void keyMismatch(const KeyColumn& column) {
    throw Error(ErrorCode::TypeMismatch,
                "a key value for column " + column.name + " does not fit its type");
}

// Integers given for any integer-like column are converted when they fit, so that callers need
// not match the column's exact width.
Value coerceKeyValue(const Value& value, const KeyColumn& column) {
    if (value.isNull()) return value;
    std::optional<int64_t> whole;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, uint8_t> ||
                          std::is_same_v<T, int16_t> || std::is_same_v<T, int32_t>)
                whole = int64_t(v);
        },
        value.storage());
    auto inRange = [&](int64_t lo, int64_t hi) {
        if (!whole) keyMismatch(column);
        if (*whole < lo || *whole > hi)
            throw Error(ErrorCode::Overflow,
                        "a key value for column " + column.name + " is out of its range");
        return *whole;
    };
    switch (column.type) {
        case ColumnType::Byte:
            if (value.is<uint8_t>()) return value;
            return Value(uint8_t(inRange(0, 255)));
        case ColumnType::Integer:
            if (value.is<int16_t>()) return value;
            return Value(int16_t(inRange(INT16_MIN, INT16_MAX)));
        case ColumnType::Long:
            if (value.is<int32_t>()) return value;
            return Value(int32_t(inRange(INT32_MIN, INT32_MAX)));
        case ColumnType::Currency:
            if (value.is<Currency>()) return value;
            return Value(Currency{inRange(INT64_MIN / 10000, INT64_MAX / 10000) * 10000});
        case ColumnType::Double:
            if (value.is<double>()) return value;
            if (value.is<float>()) return Value(double(value.as<float>()));
            return Value(double(inRange(INT64_MIN, INT64_MAX)));
        case ColumnType::Single:
            if (value.is<float>()) return value;
            return Value(float(inRange(INT32_MIN, INT32_MAX)));
        case ColumnType::DateTime:
            if (value.is<double>()) return Value(DateTime{value.as<double>()});
            return value;
        default:
            return value;
    }
}

}  // namespace

std::vector<RowId> Table::seek(int indexPosition, const std::vector<Value>& key) const {
    const auto& all = indexes();
    if (indexPosition < 0 || size_t(indexPosition) >= all.size())
        throw Error(ErrorCode::NotFound, "table " + name() + " has no index at position " +
                                             std::to_string(indexPosition));
    const Index& index = all[size_t(indexPosition)];
    const std::vector<IndexDescriptor>& descriptors = impl_->indexDescriptors();
    const IndexDescriptor& descriptor = descriptors.at(size_t(index.realIndex));
    std::vector<Value> values;
    values.reserve(key.size());
    for (size_t i = 0; i < key.size() && i < descriptor.columns.size(); ++i)
        values.push_back(coerceKeyValue(key[i], descriptor.columns[i]));
    if (key.size() > descriptor.columns.size()) values = key;  // seekIndex refuses it
    return seekIndex(impl_->db().pager(), descriptor, values);
}

}  // namespace jet
