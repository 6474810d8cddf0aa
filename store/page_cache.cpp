#include "store/page_cache.h"

#include <algorithm>

const std::vector<TableRow>& PageCache::put(qsizetype page, std::vector<TableRow> rows) {
    drop(page);
    if (pages_.size() >= kCachedPages)
        pages_.erase(pages_.begin());
    return pages_.emplace_back(page, std::move(rows)).second;
}

void PageCache::drop(qsizetype page) {
    const auto it = std::find_if(pages_.begin(), pages_.end(),
                                 [page](const Page& held) { return held.first == page; });
    if (it != pages_.end())
        pages_.erase(it);
}

void PageCache::clear() {
    pages_.clear();
}
