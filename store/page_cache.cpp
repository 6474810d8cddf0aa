#include "store/page_cache.h"

#include <algorithm>

const std::vector<TableRow>* PageCache::find(qsizetype page) const {
    const auto it = pages_.find(page);
    return it == pages_.end() ? nullptr : &it->second;
}

const std::vector<TableRow>& PageCache::put(qsizetype page, std::vector<TableRow> rows) {
    drop(page);
    if (order_.size() >= kCachedPages) {
        pages_.erase(order_.front());
        order_.pop_front();
    }
    order_.push_back(page);
    return pages_[page] = std::move(rows);
}

void PageCache::drop(qsizetype page) {
    if (pages_.erase(page) > 0)
        order_.erase(std::find(order_.begin(), order_.end(), page));
}

void PageCache::clear() {
    pages_.clear();
    order_.clear();
}
