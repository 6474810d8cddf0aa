#pragma once

#include "store/table_row.h"

#include <utility>
#include <vector>

// Rows are read in pages of this many; a grid asks for the rows it shows, a page at a time.
inline constexpr qsizetype kPageRows = 64;

// The pages of rows read lately, keyed by page number; the oldest is dropped first once
// `kCachedPages` are held. So few are held that a look through them costs less than hashing, and a
// lookup's single page takes one allocation.
class PageCache {
  public:
    static constexpr std::size_t kCachedPages = 32;

    const std::vector<TableRow>* find(qsizetype page) const {
        for (const Page& held : pages_)
            if (held.first == page)
                return &held.second;
        return nullptr;
    }
    const std::vector<TableRow>& put(qsizetype page, std::vector<TableRow> rows);
    void drop(qsizetype page);
    void clear();

  private:
    using Page = std::pair<qsizetype, std::vector<TableRow>>;

    std::vector<Page> pages_; // oldest first
};
