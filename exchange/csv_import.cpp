#include "exchange/csv_import.h"

#include "exchange/column_match.h"
#include "exchange/csv_records.h"
#include "store/contact_table.h"
#include "store/store_error.h"

#include <QStringDecoder>
#include <algorithm>
#include <utility>

namespace csv_import {

namespace {

// A field's text; the bytes must be UTF-8 exactly, and a leading U+FEFF is kept as text.
QString textOf(const CsvField& field, const CsvRecords& records) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(field.bytes);
    if (decoder.hasError())
        records.fail(records.recordLine(), QStringLiteral("the text is not valid UTF-8"));
    return text;
}

// Where each field of a record goes: one of our columns, or -1 for a skipped one. A header that
// names none of our columns is of some other file (a vCard, a file split by semicolons), whose
// lines would each come in as a blank contact; one that names a column twice leaves it unclear
// which field to take.
std::vector<int> columnsOf(CsvRecords& records, QStringList& notes) {
    std::vector<CsvField> header;
    if (!records.next(header))
        records.fail(1, QStringLiteral("the file is empty, without a header line of column names"));
    std::vector<int> targets;
    column_match::Filled filled{};
    for (const CsvField& field : header) {
        const QString name = textOf(field, records);
        const std::optional<contact_table::Column> target = column_match::columnNamed(name);
        if (target && filled[contact_table::position(*target)])
            records.fail(1, QStringLiteral("the header names the column \"%1\" twice").arg(name));
        if (target)
            filled[contact_table::position(*target)] = true;
        else
            notes << column_match::skippedNote("column", name);
        targets.push_back(target ? int(*target) : -1);
    }
    if (std::find(filled.begin(), filled.end(), true) == filled.end())
        records.fail(1, QStringLiteral("the header line names none of the columns %1")
                            .arg(contact_table::columnNames().join(QStringLiteral(", "))));
    notes << column_match::emptyNotes("file", filled);
    return targets;
}

} // namespace

// The file does not say how many contacts it holds: progress goes by its bytes.
ImportSummary readFile(const QString& path, const contact_import::AddContact& add,
                       const ImportProgress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("Cannot read \"%1\": %2.").arg(path, file.errorString()));
    CsvRecords records(file);
    ImportSummary summary;
    const std::vector<int> targets = columnsOf(records, summary.notes);
    std::vector<CsvField> fields;
    ReadProgress told{progress, file.size(), ProgressUnit::Bytes};
    while (records.next(fields)) {
        if (fields.size() != targets.size())
            records.fail(records.recordLine(), QStringLiteral("%1 fields where the header has %2")
                                                   .arg(fields.size())
                                                   .arg(targets.size()));
        RowValues values;
        for (size_t i = 0; i < fields.size(); ++i)
            if (targets[i] >= 0 && (fields[i].quoted || !fields[i].bytes.isEmpty())) {
                values[size_t(targets[i])] = textOf(fields[i], records);
                fields[i].bytes.clear();
            }
        add(std::move(values));
        told.reached(records.bytesRead());
    }
    told.reached(records.bytesRead(), true);
    return summary;
}

} // namespace csv_import
