#include "store/sqlite_db.h"

#include "store/store_error.h"
#include "store/utf8_text.h"

#include <QDir>
#include <QFileInfo>
#include <QStringEncoder>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <utility>

Database::Database(const QString& path, Mode mode, const QString& shownPath, const char* vfs)
    : path_(path), shownPath_(shownPath.isEmpty() ? path : shownPath) {
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadWriteCreate:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    }
    const QByteArray utf8 = path.toUtf8();
    const int rc = sqlite3_open_v2(utf8.constData(), &handle_, flags, vfs);
    if (rc != SQLITE_OK) {
        const QString message = handle_ ? QString::fromUtf8(sqlite3_errmsg(handle_))
                                        : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_close_v2(handle_);
        handle_ = nullptr;
        throw StoreError(
            QStringLiteral("Cannot open the address book \"%1\": %2.").arg(shownPath_, message));
    }
    sqlite3_extended_result_codes(handle_, 1);
}

Database::~Database() {
    if (handle_)
        sqlite3_close_v2(handle_);
}

Database::Database(Database&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), path_(std::move(other.path_)),
      shownPath_(std::move(other.shownPath_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        if (handle_)
            sqlite3_close_v2(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
        path_ = std::move(other.path_);
        shownPath_ = std::move(other.shownPath_);
    }
    return *this;
}

namespace {

// Why a write failed, in the words of the system when the engine's own ("disk I/O error") say
// little.
QString systemCause(sqlite3* handle, const QString& engineWords) {
    const int error = sqlite3_system_errno(handle);
    if (error == ENOSPC)
        return QStringLiteral("the disk is full");
    if (error == 0)
        return engineWords;
    return QStringLiteral("%1 (%2)").arg(engineWords, QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

void Database::fail(const QString& what) const {
    fail(what, sqlite3_errcode(handle_));
}

void Database::fail(const QString& what, int resultCode) const {
    const int code = resultCode & 0xff;
    QString detail = QString::fromUtf8(sqlite3_errstr(resultCode));
    if (resultCode == sqlite3_errcode(handle_))
        detail = QString::fromUtf8(sqlite3_errmsg(handle_));
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        detail = QStringLiteral("the file is in use by another program; try again when it is "
                                "released");
    else if (code == SQLITE_NOTADB)
        detail = QStringLiteral("the file is not a Tessaline address book");
    else if (code == SQLITE_FULL)
        detail = QStringLiteral("the disk is full");
    else if (code == SQLITE_IOERR)
        detail = systemCause(handle_, detail);
    else if ((code == SQLITE_CANTOPEN || code == SQLITE_READONLY) &&
             !QFileInfo(QFileInfo(path_).absolutePath()).isWritable())
        // A store writes its journal beside the book, which the engine's own words do not say.
        detail = QStringLiteral("the folder \"%1\" cannot be written, and a store needs to "
                                "put a short-lived journal file beside the book; allow changes "
                                "to the folder and try again")
                     .arg(QDir::toNativeSeparators(QFileInfo(path_).absolutePath()));
    throw StoreError(QStringLiteral("%1 \"%2\": %3.").arg(what, shownPath_, detail));
}

void Database::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(handle_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        sqlite3_free(message);
        fail(QStringLiteral("Cannot use the address book"));
    }
}

std::int64_t Database::lastInsertRowId() const {
    return sqlite3_last_insert_rowid(handle_);
}

int Database::changes() const {
    return sqlite3_changes(handle_);
}

std::int64_t Database::pagesRead() const {
    int current = 0;
    int highest = 0;
    sqlite3_db_status(handle_, SQLITE_DBSTATUS_CACHE_MISS, &current, &highest, 0);
    return current;
}

Statement::Statement(const Database& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK)
        db.fail(QStringLiteral("Cannot read the address book"));
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::bind(int index, const QVariant& value) {
    if (value.isNull())
        sqlite3_bind_null(stmt_, index);
    else
        bindText(index, value.toString());
}

void Statement::bindBlob(int index, const QByteArray& octets) {
    const int result = octets.isEmpty()
                           ? sqlite3_bind_null(stmt_, index)
                           : sqlite3_bind_blob64(stmt_, index, octets.constData(),
                                                 sqlite3_uint64(octets.size()), SQLITE_TRANSIENT);
    if (result != SQLITE_OK)
        db_.fail(QStringLiteral("Could not bind a value"), result);
}

void requireValidText(const QString& text, const QString& what) {
    if (!text.isValidUtf16())
        throw StoreError(QStringLiteral("%1 is not valid Unicode text (it holds a lone surrogate "
                                        "half) and was not stored.")
                             .arg(what));
}

namespace {

// Writes the UTF-8 of text at out, which has room for requiredUtf8Space(text), and returns where
// it ends. The encoder meets every lone surrogate half on its way, so there is no pass of its own
// to look for one; stateless, so that a high half last in the text counts rather than waiting for
// its low half.
char* appendUtf8(char* out, const QString& text) {
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    char* end = encoder.appendToBuffer(out, text);
    if (encoder.hasError())
        requireValidText(text, QStringLiteral("A value"));
    return end;
}

// UTF-8 takes at most three bytes for each UTF-16 unit (four for a pair of them).
qsizetype requiredUtf8Space(const QString& text) {
    return 3 * text.size();
}

} // namespace

void Statement::bindText(int index, const QString& text) {
    // Encoded straight into memory that SQLite takes over, so that a long value is not copied
    // once more; only what the encoder writes is ever touched.
    std::unique_ptr<char, void (*)(void*)> utf8(
        static_cast<char*>(sqlite3_malloc64(sqlite3_uint64(requiredUtf8Space(text)) + 1)),
        sqlite3_free);
    if (!utf8)
        throw StoreError(
            QStringLiteral("A value of %1 characters is too long to store.").arg(text.size()));
    const char* end = appendUtf8(utf8.get(), text);
    const auto size = sqlite3_uint64(end - utf8.get());
    sqlite3_bind_text64(stmt_, index, utf8.release(), size, sqlite3_free, SQLITE_UTF8);
}

void Statement::bindTextVia(int index, const QString& text, QByteArray& buffer) {
    buffer.resize(requiredUtf8Space(text));
    const char* end = appendUtf8(buffer.data(), text);
    sqlite3_bind_text64(stmt_, index, buffer.constData(), sqlite3_uint64(end - buffer.constData()),
                        SQLITE_STATIC, SQLITE_UTF8);
}

void Statement::bindInt(int index, std::int64_t value) {
    sqlite3_bind_int64(stmt_, index, value);
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(stmt_);
    db_.fail(QStringLiteral("Cannot use the address book"));
}

void Statement::run() {
    while (step()) {
    }
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

QVariant Statement::value(int column) const {
    if (isNull(column))
        return {};
    return text(column);
}

QString Statement::text(int column) const {
    return utf8Text(utf8(column));
}

QByteArrayView Statement::utf8(int column) const {
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return QByteArrayView(data, sqlite3_column_bytes(stmt_, column));
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

QByteArray Statement::blob(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    return QByteArray(data, sqlite3_column_bytes(stmt_, column));
}

Transaction::Transaction(Database& db, const char* begin) : db_(db) {
    db_.exec(begin);
    open_ = true;
}

Transaction::~Transaction() {
    if (open_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit() {
    db_.exec("COMMIT");
    open_ = false;
}
