#pragma once

#include <QtGlobal>
#include <cstdint>
#include <utility>
#include <vector>

// The positions of a recordset mapped to rowids. A whole table whose rowids have no gaps (the
// usual case: the program never deletes) is held as a range; anything else as a list. Rows added
// through the recordset follow at the end.
class RowIds {
  public:
    static RowIds range(std::int64_t first, qsizetype count) {
        RowIds ids;
        ids.first_ = first;
        ids.ranged_ = count;
        return ids;
    }
    static RowIds list(std::vector<std::int64_t> rowids) {
        RowIds ids;
        ids.listed_ = std::move(rowids);
        return ids;
    }
    // Rowids in order, held as a range when they have no gaps.
    static RowIds of(std::vector<std::int64_t> rowids) {
        if (!rowids.empty() && rowids.back() - rowids.front() == qsizetype(rowids.size()) - 1)
            return range(rowids.front(), qsizetype(rowids.size()));
        return list(std::move(rowids));
    }
    qsizetype size() const { return ranged_ + qsizetype(listed_.size()); }
    std::int64_t at(qsizetype position) const {
        return position < ranged_ ? first_ + position : listed_[std::size_t(position - ranged_)];
    }
    // Whether the rowids from `first` to `last` (positions) follow one another without a gap.
    bool consecutive(qsizetype first, qsizetype last) const {
        return at(last) - at(first) == last - first;
    }
    void append(std::int64_t rowid) { listed_.push_back(rowid); }

  private:
    std::int64_t first_ = 0;
    qsizetype ranged_ = 0;
    std::vector<std::int64_t> listed_;
};
