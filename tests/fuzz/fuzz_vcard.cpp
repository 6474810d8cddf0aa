// Feeds arbitrary bytes to the vCard reader. Whatever contacts it reads must be valid text, and
// each one written out as a card of ours must read back exactly.
#include "exchange/vcard_export.h"
#include "exchange/vcard_import.h"
#include "store/store_error.h"

#include <QBuffer>
#include <QList>
#include <cstdint>
#include <cstdlib>

namespace {

QList<RowValues> readAll(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QList<RowValues> contacts;
    vcard_import::readCards(
        buffer, QStringLiteral("fuzz"),
        [&contacts](const RowValues& values) { contacts << values; }, {}, QStringLiteral("stamp"));
    return contacts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QList<RowValues> contacts;
    try {
        contacts = readAll(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    } catch (const StoreError&) {
        return 0;
    }
    for (const RowValues& values : contacts) {
        for (const QVariant& value : values)
            if (!value.isNull() && !value.toString().isValidUtf16())
                std::abort();
        const QList<RowValues> again = readAll(vcard_export::card(values));
        if (again.size() != 1 || again.first() != values)
            std::abort();
    }
    return 0;
}
