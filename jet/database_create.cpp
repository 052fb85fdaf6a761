// Database::create, createTable and createIndex: the public entry points of jet/create_*.
//
// Each runs inside the caller's transaction when one is open, otherwise in a transaction of its
// own that commits before returning; a failure rolls that own transaction back, so a refused
// definition never leaves a half-made table behind.
#include <exception>

#include "jet/create_database.h"
#include "jet/create_support.h"
#include "jet/create_table.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/pager.h"

namespace jet {

namespace {

template <typename Work>
void runInTransaction(Pager& pager, Work work) {
    if (pager.inTransaction()) {
        work();
        return;
    }
    pager.begin();
    try {
        work();
        pager.commit();
    } catch (...) {
        if (pager.inTransaction()) pager.rollback();
        throw;
    }
}

void requireWritable(const DatabaseImpl& impl) {
    if (!impl.pager().writable()) {
        throw Error(ErrorCode::ReadOnly, impl.fileName() + ": the database is open read-only");
    }
    if (impl.header().jetVersion != 4) {
        throw Error(ErrorCode::Unsupported,
                    impl.fileName() + ": tables can only be created in Jet 4 databases");
    }
}

}  // namespace

std::shared_ptr<Database> Database::create(const std::filesystem::path& path) {
    {
        std::shared_ptr<Pager> pager = Pager::create(path, create::kPageSize);
        runInTransaction(*pager, [&] { create::writeEmptyDatabase(*pager, create::oleDateNow()); });
    }
    return open(path, OpenMode::ReadWrite);
}

Table Database::createTable(const TableDefinition& definition) {
    requireWritable(*impl_);
    Pager& pager = impl_->pager();
    try {
        runInTransaction(pager,
                         [&] { create::createTable(pager, definition, create::oleDateNow()); });
    } catch (...) {
        impl_->invalidate();
        throw;
    }
    impl_->invalidate();
    return table(definition.name);
}

void Database::createIndex(std::string_view table, const IndexDefinition& definition) {
    requireWritable(*impl_);
    Pager& pager = impl_->pager();
    try {
        runInTransaction(pager, [&] { create::createIndex(pager, table, definition); });
    } catch (...) {
        impl_->invalidate();
        throw;
    }
    impl_->invalidate();
}

}  // namespace jet
