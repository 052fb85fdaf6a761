#include "data/keyset.h"

#include <algorithm>
#include <cassert>

namespace data {
namespace {
constexpr size_t kBlockSize = 512;
}  // namespace

void Keyset::assign(std::vector<jet::RowId> ids) {
    blocks_.clear();
    starts_.clear();
    size_ = static_cast<long>(ids.size());
    for (size_t from = 0; from < ids.size(); from += kBlockSize) {
        size_t to = std::min(ids.size(), from + kBlockSize);
        starts_.push_back(static_cast<long>(from));
        blocks_.emplace_back(ids.begin() + static_cast<std::ptrdiff_t>(from),
                             ids.begin() + static_cast<std::ptrdiff_t>(to));
    }
    valid_ = starts_.size();
}

long Keyset::startOf(size_t block) const {
    for (; valid_ <= block; ++valid_) {
        starts_[valid_] =
            valid_ == 0 ? 0 : starts_[valid_ - 1] + static_cast<long>(blocks_[valid_ - 1].size());
    }
    return starts_[block];
}

size_t Keyset::blockOf(long position) const {
    assert(!blocks_.empty());
    // Among the blocks whose starts are right, else onwards from them.
    if (valid_ > 0 &&
        position < starts_[valid_ - 1] + static_cast<long>(blocks_[valid_ - 1].size())) {
        auto end = starts_.begin() + static_cast<std::ptrdiff_t>(valid_);
        return static_cast<size_t>(std::upper_bound(starts_.begin(), end, position) -
                                   starts_.begin()) -
               1;
    }
    size_t b = valid_ == 0 ? 0 : valid_ - 1;
    while (b + 1 < blocks_.size() &&
           position >= startOf(b) + static_cast<long>(blocks_[b].size())) {
        ++b;
    }
    startOf(b);
    return b;
}

const jet::RowId& Keyset::operator[](long position) const {
    assert(position >= 0 && position < size_);
    size_t b = blockOf(position);
    return blocks_[b][static_cast<size_t>(position - starts_[b])];
}

void Keyset::split(size_t block) {
    std::vector<jet::RowId>& full = blocks_[block];
    const size_t half = full.size() / 2;
    std::vector<jet::RowId> upper(full.begin() + static_cast<std::ptrdiff_t>(half), full.end());
    full.resize(half);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(block) + 1, std::move(upper));
    starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(block) + 1, 0);
    valid_ = std::min(valid_, block + 1);
}

void Keyset::push_back(const jet::RowId& id) {
    if (blocks_.empty() || blocks_.back().size() >= kBlockSize) {
        const bool allValid = valid_ == blocks_.size();
        blocks_.emplace_back();
        starts_.push_back(size_);
        if (allValid) valid_ = blocks_.size();
    }
    blocks_.back().push_back(id);
    ++size_;
}

void Keyset::insert(long position, const jet::RowId& id) {
    assert(position >= 0 && position <= size_);
    if (position == size_) {
        push_back(id);
        return;
    }
    size_t b = blockOf(position);
    std::vector<jet::RowId>& block = blocks_[b];
    block.insert(block.begin() + (position - starts_[b]), id);
    ++size_;
    valid_ = std::min(valid_, b + 1);
    if (block.size() > 2 * kBlockSize) split(b);
}

void Keyset::erase(long position) {
    assert(position >= 0 && position < size_);
    size_t b = blockOf(position);
    std::vector<jet::RowId>& block = blocks_[b];
    block.erase(block.begin() + (position - starts_[b]));
    --size_;
    valid_ = std::min(valid_, b + 1);
    if (block.empty()) {
        blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(b));
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(b));
        valid_ = std::min(valid_, b);
    }
}

long Keyset::lowerBound(const jet::RowId& id) const {
    // The first block whose last id is not less than `id` holds the answer.
    auto block = std::lower_bound(blocks_.begin(), blocks_.end(), id,
                                  [](const std::vector<jet::RowId>& b, const jet::RowId& wanted) {
                                      return b.back() < wanted;
                                  });
    if (block == blocks_.end()) return size_;
    size_t b = static_cast<size_t>(block - blocks_.begin());
    auto in = std::lower_bound(block->begin(), block->end(), id);
    return startOf(b) + static_cast<long>(in - block->begin());
}

long Keyset::lowerBound(const jet::RowId& id, long end) const {
    if (end >= size_) return lowerBound(id);
    long low = 0;
    long high = std::max(0L, end);
    while (low < high) {
        long mid = low + (high - low) / 2;
        if ((*this)[mid] < id) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    return low;
}

bool Keyset::isSorted() const {
    for (size_t b = 0; b < blocks_.size(); ++b) {
        if (!std::is_sorted(blocks_[b].begin(), blocks_[b].end())) return false;
        if (b > 0 && blocks_[b].front() < blocks_[b - 1].back()) return false;
    }
    return true;
}

std::vector<jet::RowId> Keyset::toVector() const {
    std::vector<jet::RowId> out;
    out.reserve(static_cast<size_t>(size_));
    for (const auto& block : blocks_) out.insert(out.end(), block.begin(), block.end());
    return out;
}

}  // namespace data
