#include "exchange/access_import.h"

#include "exchange/access_table_reader.h"
#include "exchange/child_process.h"
#include "exchange/import_losses.h"
#include "exchange/row_stream.h"
#include "store/contact_table.h"
#include "store/store_error.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QVariant>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

namespace access_import {

namespace {

using row_stream::Frame;
using row_stream::Kind;

QString textOf(const Frame& frame) {
    return frame.values.empty() ? QString() : frame.values.front().value_or(QString());
}

// The old table as the child process that reads it hands it over. Whatever the child sends or
// fails to send is taken as a fact about the file, never trusted further.
class ReadTable {
  public:
    explicit ReadTable(const QString& path)
        : path_(path), reader_(
                           [path](int fd) {
                               row_stream::FrameWriter out(fd);
                               readAddressTable(path, out);
                           },
                           ChildProcess::Limits{}),
          frames_([this](char* data, qint64 size) { return reader_.read(data, size); }) {}

    // Reads up to the table's declared size; throws when there is no table to read.
    void open() {
        while (const std::optional<Frame> frame = next()) {
            if (frame->kind == Kind::Table) {
                declared_ = frame->number;
                return;
            }
            if (frame->kind == Kind::Failure)
                throw StoreError(textOf(*frame) + outputReport());
            take(*frame);
        }
        finish();
        throw StoreError(QStringLiteral("\"%1\" is damaged; nothing was imported. The Access "
                                        "reader stopped before it found the table: %2.%3")
                             .arg(path_, ending_, outputReport()));
    }

    // The next row, or nothing once the table has ended and the reader has finished.
    std::optional<Frame> nextRow() {
        while (std::optional<Frame> frame = next()) {
            if (frame->kind == Kind::Row && frame->values.size() == contact_table::kColumnCount) {
                ++rows_;
                return frame;
            }
            take(*frame);
        }
        finish();
        return std::nullopt;
    }

    qint64 declared() const { return declared_; }
    qint64 rows() const { return rows_; }
    const QStringList& notes() const { return notes_; }
    const ImportLosses& losses() const { return losses_; }

  private:
    std::optional<Frame> next() {
        if (garbled_)
            return std::nullopt;
        try {
            return frames_.next();
        } catch (const StoreError&) {
            garble();
            return std::nullopt;
        }
    }

    void garble() {
        garbled_ = true;
        reader_.kill();
    }

    void take(const Frame& frame) {
        switch (frame.kind) {
        case Kind::Note:
            notes_ << textOf(frame);
            break;
        case Kind::UnreadablePage:
            losses_.addPage(frame.number);
            break;
        case Kind::UnreadableValue:
            losses_.addValue(textOf(frame), frame.number);
            break;
        case Kind::Damage:
            losses_.addDamage(textOf(frame));
            break;
        case Kind::End:
            ended_ = frame.number == rows_;
            break;
        default: // a frame out of its place
            garble();
        }
    }

    // Waits for the reader and records how it ended and what it printed.
    void finish() {
        const ChildProcess::ExitStatus status = reader_.waitForFinished();
        if (garbled_)
            ending_ = QStringLiteral("its answer was garbled");
        else if (status != ChildProcess::ExitStatus::NormalExit || reader_.exitCode() != 0)
            ending_ = reader_.endingText();
        else if (!ended_)
            ending_ = QStringLiteral("it ended without finishing the table");
        if (!ending_.isEmpty())
            losses_.setReaderEnding(ending_, rows_);
        losses_.setRowCounts(declared_, rows_);
        output_ = reader_.output();
        losses_.setReaderOutput(output_);
    }

    QString outputReport() const {
        if (output_.isEmpty())
            return {};
        return QStringLiteral(" The Access reader reported: %1.")
            .arg(output_.join(QStringLiteral("; ")));
    }

    QString path_;
    ChildProcess reader_;
    row_stream::FrameReader frames_;
    qint64 declared_ = 0;
    qint64 rows_ = 0;
    bool ended_ = false;
    bool garbled_ = false;
    QString ending_;
    QStringList notes_;
    QStringList output_;
    ImportLosses losses_;
};

// Hands every row the reader sends over to add, counting them against the rows declared.
void handRows(ReadTable& table, const contact_import::AddContact& add,
              const ImportProgress& progress) {
    ReadProgress told{progress, table.declared(), ProgressUnit::Rows};
    while (const std::optional<Frame> row = table.nextRow()) {
        RowValues values;
        for (int column = 0; column < contact_table::kColumnCount; ++column) {
            const std::optional<QString>& value = row->values[size_t(column)];
            values[size_t(column)] = value ? QVariant(*value) : QVariant();
        }
        add(std::move(values));
        told.reached(table.rows());
    }
    told.reached(table.rows(), true);
}

// Throws unless what was read may become the new book: all of the old table, or in a salvage
// at least one contact.
void requireAcceptable(const ReadTable& table, ImportMode mode, const QString& path) {
    const QStringList losses = table.losses().lines();
    if (losses.isEmpty())
        return;
    const QString listed = QLatin1Char('\n') + losses.join(QLatin1Char('\n'));
    if (mode == ImportMode::AllOrNothing)
        throw StoreError(QStringLiteral("\"%1\" is damaged; nothing was imported.%2\nRun the "
                                        "import again with --salvage to take every contact "
                                        "that can still be read.")
                             .arg(path, listed));
    if (table.rows() == 0)
        throw StoreError(QStringLiteral("\"%1\" is damaged and no contact could be read from "
                                        "it; nothing was imported.%2")
                             .arg(path, listed));
}

void checkIsAccessFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw StoreError(QStringLiteral("\"%1\" does not exist.").arg(path));
    if (info.isDir())
        throw StoreError(QStringLiteral("\"%1\" is a folder, not an Access file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(
            QStringLiteral("\"%1\" cannot be read: %2.").arg(path, file.errorString()));
    if (info.size() == 0)
        throw StoreError(QStringLiteral("\"%1\" is empty; nothing was imported.").arg(path));
    if (contact_table::looksLikeAccessFile(path))
        return;
    if (contact_table::beginsAsSqlite(file.read(16)))
        throw StoreError(QStringLiteral("\"%1\" is an SQLite database, not an old Access-format "
                                        "file; a Tessaline address book needs no import.")
                             .arg(path));
    throw StoreError(contact_table::unknownFormat(path));
}

} // namespace

QDate dateFromAccess(double days) {
    static const QDate kDayZero(1899, 12, 30);
    if (!std::isfinite(days) || std::abs(days) > 1e9)
        return {};
    return kDayZero.addDays(qint64(std::trunc(days)));
}

QString dateText(double days) {
    return QLocale().toString(dateFromAccess(days), QLocale::ShortFormat);
}

contact_import::ContactReader reader(const QString& oldPath, ImportMode mode) {
    checkIsAccessFile(oldPath);
    auto table = std::make_shared<ReadTable>(oldPath);
    table->open();
    return [table, mode](const QString& path, const contact_import::AddContact& add,
                         const ImportProgress& progress) {
        handRows(*table, add, progress);
        requireAcceptable(*table, mode, path);
        return ImportSummary{0, table->notes(), table->declared(), table->losses().lines()};
    };
}

ImportSummary importAddressBook(const QString& oldPath, const QString& newPath,
                                const ImportProgress& progress, ImportMode mode) {
    return contact_import::intoNewBook(reader(oldPath, mode), oldPath, newPath, progress);
}

} // namespace access_import
