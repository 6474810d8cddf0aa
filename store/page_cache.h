#pragma once

#include "store/table_row.h"

#include <deque>
#include <unordered_map>
#include <vector>

// Rows are read in pages of this many; a grid asks for the rows it shows, a page at a time.
inline constexpr qsizetype kPageRows = 64;

// The pages of rows read lately, keyed by page number; the oldest is dropped first once
// `kCachedPages` are held.
class PageCache {
  public:
    static constexpr std::size_t kCachedPages = 32;

    const std::vector<TableRow>* find(qsizetype page) const;
    const std::vector<TableRow>& put(qsizetype page, std::vector<TableRow> rows);
    void drop(qsizetype page);
    void clear();

  private:
    std::unordered_map<qsizetype, std::vector<TableRow>> pages_;
    std::deque<qsizetype> order_;
};
