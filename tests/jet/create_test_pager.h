// A pager that keeps every page in memory and saves them to a file on request: lets the tests of
// database creation inspect and export files without the engine's journaled pager.
#pragma once

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "jet/error.h"
#include "jet/pager.h"

namespace testing_support {

class MemoryPager : public jet::Pager {
  public:
    explicit MemoryPager(std::filesystem::path path) : path_(std::move(path)) {}

    // Loads an existing file.
    static std::shared_ptr<MemoryPager> load(const std::filesystem::path& path) {
        auto pager = std::make_shared<MemoryPager>(path);
        std::ifstream in(path, std::ios::binary);
        std::vector<char> page(4096);
        while (in.read(page.data(), page.size())) {
            pager->pages_.push_back(std::make_shared<jet::PageBuffer>(page.begin(), page.end()));
        }
        return pager;
    }

    void save() const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        for (const auto& p : pages_) {
            out.write(reinterpret_cast<const char*>(p->data()), p->size());
        }
    }

    const std::filesystem::path& path() const override { return path_; }
    uint32_t pageSize() const override { return 4096; }
    uint32_t pageCount() const override { return static_cast<uint32_t>(pages_.size()); }
    bool writable() const override { return true; }
    jet::PageRef read(uint32_t page) override {
        if (page >= pages_.size()) throw jet::Error(jet::ErrorCode::Corrupt, "no such page");
        return pages_[page];
    }
    uint8_t* write(uint32_t page) override {
        if (!inTransaction_) throw jet::Error(jet::ErrorCode::Transaction, "no transaction");
        if (page >= pages_.size()) throw jet::Error(jet::ErrorCode::Corrupt, "no such page");
        // Copy on write so PageRefs handed out earlier keep their contents.
        pages_[page] = std::make_shared<jet::PageBuffer>(*pages_[page]);
        ++writes_;
        return pages_[page]->data();
    }
    uint32_t append() override {
        if (!inTransaction_) throw jet::Error(jet::ErrorCode::Transaction, "no transaction");
        pages_.push_back(std::make_shared<jet::PageBuffer>(4096, 0));
        return static_cast<uint32_t>(pages_.size() - 1);
    }
    void begin() override { inTransaction_ = true; }
    bool inTransaction() const override { return inTransaction_; }
    uint64_t savepoint() override { return 0; }
    void rollbackTo(uint64_t) override {}
    void commit() override { inTransaction_ = false; }
    void rollback() override { inTransaction_ = false; }
    void setFaultHook(FaultHook) override {}

    uint64_t writes() const { return writes_; }

  private:
    std::filesystem::path path_;
    std::vector<std::shared_ptr<jet::PageBuffer>> pages_;
    bool inTransaction_ = false;
    uint64_t writes_ = 0;
};

}  // namespace testing_support
