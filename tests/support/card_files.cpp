#include "support/card_files.h"

#include "store/date_stamp.h"
#include "support/stored_rows.h"

#include <QFile>
#include <QtTest>

namespace {

const QVariant kNull;

} // namespace

QString today() {
    return dateStamp(SystemClock());
}

// Text that starts with U+FEFF, which QString::fromUtf8 would take for a byte order mark.
QString feff(const char* utf8) {
    return QChar(0xFEFF) + QString::fromUtf8(utf8);
}

// A card file of tests/exchange/cards/, as another program wrote it.
QByteArray cardFile(const char* name) {
    QFile file(QStringLiteral(TESSALINE_CARDS "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    return file.readAll();
}

// The cards of tests/exchange/cards/, with the contacts and notes they give.
void addCardFileRows() {
    QTest::newRow("Outlook 2.1 in Windows-1252, no CHARSET")
        << cardFile("outlook-2.1-windows-1252.vcf")
        << QList<StoredRow>{row({"Jürgen", "Müller", "+49 89 1234567", kNull,
                                 "Königstraße 5\nMünchen 80331\nDeutschland",
                                 "juergen@baeckerei.example", kNull,
                                 "Brötchen für 5 € – täglich\nOrganization: Bäckerei Müller",
                                 today()}),
                            row({"Ann", "Smith", "555-0100", kNull, kNull, kNull, kNull, kNull,
                                 today()})}
        << QStringList{"Note: the card on line 1 (Jürgen Müller) is not UTF-8 and names no "
                       "character set; it was read as Windows-1252"};
    QTest::newRow("an address only in LABEL")
        << cardFile("nextcloud-4.0-address-in-label.vcf")
        << QList<StoredRow>{row({"Arthur", "Dent", kNull, kNull, "42 Galaxy Way\nMilliways", kNull,
                                 kNull, kNull, today()})}
        << QStringList();
    QTest::newRow("a phonetic name, a photo URL, a note in base64")
        << cardFile("phone-2.1-text-values.vcf")
        << QList<StoredRow>{row({"太郎", "山田", "090-1234-5678", kNull, kNull, kNull, kNull,
                                 "Hello World\nPhonetic name: ヤマダ タロウ\n"
                                 "Photo: http://example.jp/taro.jpg",
                                 today()})}
        << QStringList();
    QTest::newRow("six parts of N")
        << cardFile("evolution-3.0-six-name-parts.vcf")
        << QList<StoredRow>{row({"John", "Public", kNull, kNull, kNull, "jqpublic@xyz.example.com",
                                 kNull,
                                 "Additional names: Quinlan\nHonorific prefixes: Mr.\n"
                                 "Honorific suffixes: Esq.\nMore name parts: sixth",
                                 today()})}
        << QStringList();
    QTest::newRow("empty placeholders first")
        << cardFile("android-3.0-empty-placeholders.vcf")
        << QList<StoredRow>{row({"Lee", "Ng", "+65 6123 4567", kNull, kNull, "lee@ng.example",
                                 "https://ng.example", "Organization: Ng Trading", today()})}
        << QStringList();
    QTest::newRow("escapes and folds of 2.1 and of 3.0")
        << cardFile("escapes-2.1-and-3.0.vcf")
        << QList<StoredRow>{row({"Bill", "Windows", kNull, kNull, kNull, kNull,
                                 "http://example.com/a;b",
                                 "C:\\new\\notes on \\\\server\\share\nTitle: Hello World",
                                 today()}),
                            row({"Wanda", "Web", kNull, kNull, kNull, kNull,
                                 "https://wanda.example/", "Line one\nC:\\temp", today()})}
        << QStringList();
    QTest::newRow("values starting with U+FEFF")
        << cardFile("thunderbird-4.0-leading-feff.vcf")
        << QList<StoredRow>{row({feff("Zoe"), "Bom", kNull, kNull, kNull, feff("zoe@example.org"),
                                 kNull, feff("starts with a zero width no-break space"), today()})}
        << QStringList();
    QTest::newRow("UTF-16 with a byte order mark")
        << cardFile("windows-utf-16.vcf")
        << QList<StoredRow>{row({"Jan", "Łukasiewicz", "+48 22 123 45 67", kNull, kNull, kNull,
                                 kNull, kNull, today()})}
        << QStringList();
    // The note is longer than the reader looks ahead for a line end at a time.
    QTest::newRow("CR line ends")
        << cardFile("mac-cr-line-ends.vcf")
        << QList<StoredRow>{row({"Mac", "Classic", kNull, kNull, kNull, "mac@example.com", kNull,
                                 QStringLiteral("Met at the user group; ").repeated(32), today()})}
        << QStringList();
    QTest::newRow("a blank after BEGIN:")
        << cardFile("blank-after-begin.vcf")
        << QList<StoredRow>{row(
               {"Kim", "Spacey", kNull, kNull, kNull, kNull, kNull, kNull, today()})}
        << QStringList();
    QTest::newRow("a 2.1 card inside AGENT")
        << cardFile("phone-2.1-agent.vcf")
        << QList<StoredRow>{row({"Betty", "Boss", "+1-213-555-1111", kNull, kNull, kNull, kNull,
                                 "Agent: BEGIN:VCARD\nVERSION:2.1\nN:Friday;Fred\n"
                                 "TEL;WORK;VOICE:+1-213-555-1234\nEND:VCARD",
                                 today()})}
        << QStringList();
    QTest::newRow("groups")
        << cardFile("apple-and-4.0-groups.vcf")
        << QList<StoredRow>{row(
               {"Johnny", "Appleseed", kNull, kNull, kNull, kNull, kNull, kNull, today()})}
        << QStringList{"Note: skipped 2 group cards (a list of members, not a contact)"};
}
