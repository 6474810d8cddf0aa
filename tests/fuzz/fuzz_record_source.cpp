// Feeds arbitrary text to the record-source reader. Whatever it accepts must be the whole table
// or one of the four searchable columns, and a statement built for that value must read back
// the same value.
#include "store/lookup_statement.h"
#include "store/store_error.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    RecordSourceQuery query;
    try {
        query = parseRecordSource(text);
    } catch (const StoreError&) {
        return 0;
    }
    if (!query.column) {
        if (text.trimmed().compare(QLatin1String("address"), Qt::CaseInsensitive) != 0)
            std::abort();
        return 0;
    }
    switch (*query.column) {
    case LookupColumn::Name:
    case LookupColumn::Surname:
    case LookupColumn::Phone:
    case LookupColumn::Email:
        break;
    default:
        std::abort();
    }
    const RecordSourceQuery again = parseRecordSource(lookupStatement(*query.column, query.value));
    if (again.column != query.column || again.value != query.value)
        std::abort();
    return 0;
}
