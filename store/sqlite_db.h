#pragma once

#include <QString>
#include <QVariant>
#include <cstdint>

struct sqlite3;
struct sqlite3_stmt;

// A thin owner of one SQLite connection. Errors become StoreError with SQLite's own text.
class Database {
  public:
    enum class Mode { ReadWrite, ReadWriteCreate, ReadOnly };

    Database() = default;
    // shownPath is the name messages give the file, when it is not path: a book being made under
    // a name of its own is named by the path the user gave. `vfs` names the VFS to open it
    // through, the default one when null.
    Database(const QString& path, Mode mode, const QString& shownPath = {},
             const char* vfs = nullptr);
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isOpen() const { return handle_ != nullptr; }
    sqlite3* handle() const { return handle_; }
    const QString& path() const { return path_; }

    void exec(const char* sql);
    std::int64_t lastInsertRowId() const;
    int changes() const;
    // Pages this connection has read from the file since it opened (its page cache's misses).
    std::int64_t pagesRead() const;
    // Throws a StoreError: what, the file's name and why, from the connection's last error or
    // from the result code given.
    [[noreturn]] void fail(const QString& what) const;
    [[noreturn]] void fail(const QString& what, int resultCode) const;

  private:
    sqlite3* handle_ = nullptr;
    QString path_;
    QString shownPath_;
};

// A name in double quotes, as a statement names a table, a column or an index and as messages
// name them; the names given here hold no double quote of their own.
inline QString quoted(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

// Refuses text that cannot become UTF-8 unchanged (a lone surrogate half): such text would be
// stored altered, so it is not stored at all. `what` names the value in the message.
void requireValidText(const QString& text, const QString& what);

// A prepared statement that is always reset when it goes out of scope, so no read lock
// outlives the step that took it.
class Statement {
  public:
    Statement(const Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int index, const QVariant& value);   // a null QVariant binds NULL
    void bindText(int index, const QString& text); // refuses invalid Unicode
    // Encodes text into buffer and binds those bytes without a copy: the buffer must stay as it
    // is until the statement has run. For a statement run many times, whose buffers are reused.
    void bindTextVia(int index, const QString& text, QByteArray& buffer);
    void bindInt(int index, std::int64_t value);
    void bindBlob(int index, const QByteArray& octets); // an empty one binds NULL
    bool step();                                        // true while a row is available
    void run(); // steps to the end of a statement that returns no rows
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    QVariant value(int column) const; // NULL as an invalid QVariant, text as QString
    QString text(int column) const;
    // The column's text as SQLite holds it (not checked to be UTF-8), valid until the next step
    // or reset: for a caller that writes the bytes out as they are.
    QByteArrayView utf8(int column) const;
    std::int64_t integer(int column) const;
    QByteArray blob(int column) const; // the octets as stored, NULL as empty

  private:
    const Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A statement kept prepared for reuse is reset when this goes out of scope, so a result set
// that was not read to its end holds no read lock afterwards.
class StatementUse {
  public:
    explicit StatementUse(Statement& statement) : statement_(statement) {}
    ~StatementUse() { statement_.reset(); }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    Statement* operator->() const { return &statement_; }

  private:
    Statement& statement_;
};

// A transaction that rolls back unless committed.
class Transaction {
  public:
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  protected:
    Transaction(Database& db, const char* begin);

  private:
    Database& db_;
    bool open_ = false;
};

// BEGIN IMMEDIATE ... COMMIT: the write lock is taken at once (waiting for the busy timeout).
class WriteTransaction : public Transaction {
  public:
    explicit WriteTransaction(Database& db) : Transaction(db, "BEGIN IMMEDIATE") {}
};

// BEGIN ... COMMIT around several reads that must see one snapshot of the file.
class ReadTransaction : public Transaction {
  public:
    explicit ReadTransaction(Database& db) : Transaction(db, "BEGIN") {}
};
