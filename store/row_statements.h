#pragma once

#include "store/lookup_statement.h"
#include "store/sqlite_db.h"

#include <array>
#include <memory>

// The statements that read rows of the address table, each prepared on first use and then kept
// for the life of the connection. Reset them (or destroy them) before the database closes.
class RowStatements {
  public:
    explicit RowStatements(const Database& db) : db_(db) {}
    RowStatements(const RowStatements&) = delete;
    RowStatements& operator=(const RowStatements&) = delete;

    Statement& rowById();      // the columns of rowid ?1
    Statement& rowRange();     // rowid and columns of the rows with rowids from ?1 to ?2
    Statement& firstRows();    // rowid and columns of the first ?1 rows in rowid order
    Statement& count();        // every row
    Statement& countOutside(); // rows outside (?1, ?2]
    Statement& maxRowid();
    // The table's engine order is rowid order; a lookup through its index returns equal values
    // in rowid order too.
    Statement& lookupRows(LookupColumn column); // rowid and columns where the column is ?1
    Statement& lookupRest(LookupColumn column); // the same rowids past rowid ?2

  private:
    template <class Sql> Statement& prepared(std::unique_ptr<Statement>& slot, Sql sql);

    const Database& db_;
    std::unique_ptr<Statement> rowById_, rowRange_, firstRows_, count_, countOutside_, maxRowid_;
    std::array<std::unique_ptr<Statement>, 4> lookupRows_, lookupRest_;
};
