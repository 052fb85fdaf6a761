#include "data/data_control.h"

#include "data/errors.h"

namespace data {

void DataControl::Refresh() {
    // The same connection text reaches the same shared database: keep the connection rather
    // than close the file and read its catalog again.
    if (!connection_ || !connection_->isOpen() || openedWith_ != ConnectionString) {
        recordset_.reset();
        connection_.reset();
        auto connection = std::make_shared<Connection>();
        connection->Open(ConnectionString);
        connection_ = std::move(connection);
        openedWith_ = ConnectionString;
    }
    // The record set object is kept: a source of the shape it holds opens without a new parse.
    if (!recordset_) recordset_ = std::make_unique<Recordset>();
    try {
        recordset_->Open(RecordSource, connection_);
    } catch (...) {
        recordset_.reset();
        throw;
    }
}

Recordset& DataControl::recordset() {
    if (!recordset_) throw makeError(Fault::ObjectClosed);
    return *recordset_;
}

bool DataControl::hasRecordset() const {
    return recordset_ != nullptr;
}

}  // namespace data
