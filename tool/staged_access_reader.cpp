#include "tool/staged_access_reader.h"

#include "store/contact_table.h"
#include "store/store_error.h"

#include <QTemporaryDir>
#include <memory>
#include <utility>

namespace contact_import {

ContactReader stagedAccessReader(const AccessImporter& importer, const QString& source,
                                 ImportMode mode, const ImportProgress& progress) {
    auto folder = std::make_shared<QTemporaryDir>();
    if (!folder->isValid())
        throw StoreError(
            QStringLiteral("Cannot make a temporary folder: %1.").arg(folder->errorString()));
    const QString staged = folder->filePath(QStringLiteral("staged.mdb"));
    const ImportSummary summary = importer(source, staged, progress, mode);
    return [folder, staged, summary](const QString&, const AddContact& add, const ImportProgress&) {
        const Database db = contact_table::openAddressBook(staged);
        const QByteArray select = QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
                                      .arg(contact_table::quotedColumnList())
                                      .toUtf8();
        Statement rows(db, select.constData());
        RowValues values;
        while (rows.step()) {
            readValues(rows, 0, values);
            add(std::move(values));
        }
        return summary;
    };
}

} // namespace contact_import
