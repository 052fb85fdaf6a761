// Public: part of the engine's interface to the programs built on it.
// jet::ScopedTransaction: one unit of work that happens whole or not at all.
//
// Opens a transaction of its own when none is open, else a savepoint in the caller's transaction.
// Unless commit() is called, the destructor undoes the unit: the own transaction is rolled back,
// or the caller's transaction is rolled back to the savepoint and the savepoint released (a
// savepoint left open keeps a copy of every page changed after it until the transaction ends,
// which a long transfer cannot afford). The caller's transaction stays open either way.
//
// `Transactions` is the engine's Database or its Pager: anything with begin, commit, rollback,
// inTransaction, savepoint, rollbackTo and release.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace jet {

template <typename Transactions>
class ScopedTransaction {
  public:
    explicit ScopedTransaction(Transactions& transactions)
        : t_(transactions), own_(!transactions.inTransaction()) {
        if (own_) {
            t_.begin();
        } else {
            savepoint_ = t_.savepoint();
        }
    }
    ScopedTransaction(const ScopedTransaction&) = delete;
    ScopedTransaction& operator=(const ScopedTransaction&) = delete;

    // Never throws: it runs while an error unwinds, and the error that got here is the one to
    // report, not a second one from undoing.
    ~ScopedTransaction() {
        if (done_) return;
        try {
            if (!own_) {
                t_.rollbackTo(savepoint_);
                t_.release(savepoint_);
            } else if (t_.inTransaction()) {
                t_.rollback();
            }
        } catch (...) {
        }
    }

    // Keeps the unit: commits the own transaction, or releases the savepoint and leaves its changes
    // to the caller's transaction. When this throws, the destructor still undoes the unit.
    void commit() {
        if (own_) {
            t_.commit();
        } else {
            t_.release(savepoint_);
        }
        done_ = true;
    }

  private:
    Transactions& t_;
    bool own_;
    bool done_ = false;
    uint64_t savepoint_ = 0;
};

// Runs `work` as one ScopedTransaction, committed when `work` returns; returns what it returns.
template <typename Transactions, typename Work>
auto atomically(Transactions& transactions, Work&& work) -> decltype(work()) {
    ScopedTransaction<Transactions> unit(transactions);
    if constexpr (std::is_void_v<decltype(work())>) {
        std::forward<Work>(work)();
        unit.commit();
    } else {
        auto result = std::forward<Work>(work)();
        unit.commit();
        return result;
    }
}

}  // namespace jet
