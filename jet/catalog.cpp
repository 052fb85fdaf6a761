#include "jet/catalog.h"

#include "jet/database_impl.h"
#include "jet/text_codec.h"

namespace jet {

namespace {

int column(const TableImpl& objects, const char* name) {
    const auto& cols = objects.columns();
    for (size_t i = 0; i < cols.size(); ++i)
        if (sameName(cols[i].name, name)) return int(i);
    throw fileError(ErrorCode::Corrupt, objects.db().fileName(),
                    std::string("the catalog has no column ") + name);
}

template <typename T>
T get(const Row& row, int position) {
    if (position < 0 || !row[position].is<T>()) return T{};
    return row[position].as<T>();
}

}  // namespace

Catalog::Catalog(const TableImpl& objects) {
    const int id = column(objects, "Id");
    const int parentId = column(objects, "ParentId");
    const int name = column(objects, "Name");
    const int type = column(objects, "Type");
    const int flags = column(objects, "Flags");
    int lvProp = -1;
    for (size_t i = 0; i < objects.columns().size(); ++i)
        if (sameName(objects.columns()[i].name, "LvProp")) lvProp = int(i);

    objects.scan([&](RowId rowId, const Row& row) {
        CatalogEntry e;
        e.id = get<int32_t>(row, id);
        e.parentId = get<int32_t>(row, parentId);
        e.name = get<std::string>(row, name);
        e.type = get<int16_t>(row, type);
        e.flags = uint32_t(get<int32_t>(row, flags));
        e.row = rowId;
        e.lvProp = get<Bytes>(row, lvProp);
        objects_.push_back(std::move(e));
        return true;
    });
    for (const auto& e : objects_)
        if (e.type == kObjectContainer && e.parentId == kContainerParent && e.name == "Tables")
            tablesId_ = e.id;
    for (const auto& e : objects_)
        if (e.type == kObjectTable && e.parentId == tablesId_) tables_.push_back(e);
}

const CatalogEntry* Catalog::findTable(std::string_view name) const {
    std::string folded = foldName(name);
    for (const auto& e : tables_)
        if (e.name.size() == name.size() && foldName(e.name) == folded) return &e;
    return nullptr;
}

const CatalogEntry* Catalog::findTableAt(uint32_t tdefPage) const {
    for (const auto& e : tables_)
        if (e.tdefPage() == tdefPage) return &e;
    return nullptr;
}

}  // namespace jet
