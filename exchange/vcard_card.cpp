#include "exchange/vcard_card.h"

#include "exchange/vcard_columns.h"
#include "exchange/vcard_types.h"
#include "store/contact_table.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace vcard {

using contact_table::Column;

namespace {

// Properties that say how the card is made rather than what it says about the contact.
// Names are compared as views, which compare their sizes first: most names differ in size.
bool isStructural(QByteArrayView name) {
    for (const QByteArrayView structural :
         {"BEGIN", "END", "VERSION", "PRODID", "REV", "UID", "CLIENTPIDMAP"})
        if (name == structural)
            return true;
    return false;
}

// What kind of card it is: a contact, or a group (a list of members), which is no contact.
bool isKind(QByteArrayView name) {
    return name == "KIND" || name == "X-ADDRESSBOOKSERVER-KIND";
}

// Binary data inline: a photo, logo, sound or key in base64 or as a data: URI. A URL, or a sound
// that is text (the phonetic name phones write), is not.
bool isInlineMedia(const ContentLine& line) {
    const QByteArrayView name = line.name;
    const bool media = name == "PHOTO" || name == "LOGO" || name == "SOUND" || name == "KEY";
    const QByteArrayView value = QByteArrayView(line.value).trimmed();
    const bool dataUri =
        value.size() >= 5 && value.first(5).compare("data:", Qt::CaseInsensitive) == 0;
    return media && (line.isBase64() || dataUri);
}

// Another property in base64 is text when it decodes to text.
bool isBinary(const ContentLine& line) {
    return line.isBase64() && line.parameter("CHARSET").isEmpty() &&
           !QByteArrayView(line.octets()).isValidUtf8();
}

// Room for the items of a usual card, so that the list is not grown item by item.
constexpr qsizetype kUsualItems = 16;

// A column's label (kColumnProperties) as text, made once: every card's items take it.
const QString& columnLabel(Column column) {
    static const auto labels = [] {
        std::array<QString, contact_table::kColumnCount> made;
        for (const ColumnProperty& row : kColumnProperties)
            if (row.label)
                made[contact_table::position(row.column)] = QString::fromLatin1(row.label);
        return made;
    }();
    return labels[contact_table::position(column)];
}

// Puts back the line breaks a value of ours had: its parameter names their kinds in order, or
// one kind for all of them.
class LineBreaks {
  public:
    explicit LineBreaks(const ContentLine& line) : kinds_(line.parameter(kBreaks)) {}
    // The text between breaks goes over whole.
    QString restore(const QString& text) {
        if (kinds_.isEmpty())
            return text;
        QString restored; // null for an empty text
        if (text.isEmpty())
            return restored;
        restored.reserve(text.size() + text.count(QLatin1Char('\n')));
        qsizetype from = 0;
        for (qsizetype at; (at = text.indexOf(QLatin1Char('\n'), from)) >= 0; from = at + 1) {
            restored += QStringView(text).sliced(from, at - from);
            const QString kind = kinds_.size() == 1 ? kinds_.first() : kinds_.value(next_++);
            restored += kind == QLatin1String("crlf") ? QLatin1String("\r\n")
                        : kind == QLatin1String("cr") ? QLatin1String("\r")
                                                      : QLatin1String("\n");
        }
        restored += QStringView(text).sliced(from);
        return restored;
    }

  private:
    QStringList kinds_;
    qsizetype next_ = 0;
};

// Appends a line (a word) to text, after a separator when it is not the first; empty ones are left
// out.
void appendPart(QString& text, const QString& part, QChar separator) {
    if (part.isEmpty())
        return;
    if (!text.isEmpty())
        text += separator;
    text += part;
}

// ADR in the order of a postal label, one line each, empty ones left out: post office box,
// extended address, street, "locality region code", country, and anything after.
QString addressText(const QStringList& parts) {
    QString city;
    for (const qsizetype i : {3, 4, 5})
        appendPart(city, parts.value(i), QLatin1Char(' '));
    QString text;
    for (const QString& line :
         {parts.value(0), parts.value(1), parts.value(2), city, parts.value(6)})
        appendPart(text, line, QLatin1Char('\n'));
    for (qsizetype i = 7; i < parts.size(); ++i)
        appendPart(text, parts[i], QLatin1Char('\n'));
    return text;
}

// The value unescaped, with the line breaks of ours put back.
QString text(const ContentLine& line) {
    return LineBreaks(line).restore(line.plainText());
}

} // namespace

void CardMapping::add(const ContentLine& line) {
    // The names of the properties some columns take, their lengths counted once.
    static constexpr QByteArrayView tel = propertyOf(Column::Phone).property;
    static constexpr QByteArrayView adr = propertyOf(Column::Address).property;
    static constexpr QByteArrayView email = propertyOf(Column::Email).property;
    static constexpr QByteArrayView url = propertyOf(Column::Url).property;
    static constexpr QByteArrayView note = propertyOf(Column::Other).property;
    types_ = typesOf(line);
    const QByteArrayView name = line.name;
    if (isStructural(name))
        return;
    if (isKind(name))
        isGroup_ = isGroup_ || text(line).trimmed().compare(u"group", Qt::CaseInsensitive) == 0;
    else if (name.startsWith("X-TESSALINE-"))
        addOurs(line);
    else if (name == "X-ABLABEL" && !line.group.isEmpty())
        groupLabels_.insert(line.group, appleLabel(text(line)));
    else if (isInlineMedia(line))
        ++skippedMedia_;
    else if (isBinary(line))
        ++skippedBinary_;
    else if (name == "N")
        addName(line);
    else if (name == "FN")
        addItem(Kind::FullName, line, text(line), QStringLiteral("Full name"));
    else if (name == tel)
        addTel(line);
    else if (name == adr)
        addAddress(line);
    else if (name == email)
        addColumnItem(Column::Email, line, text(line), {"internet", "x400"});
    else if (name == url)
        addColumnItem(Column::Url, line, text(line));
    else if (name == note)
        addItem(Kind::Column, line, text(line), columnLabel(Column::Other), Column::Other);
    else
        addOther(line);
}

void CardMapping::clear() {
    QList<Item> items = std::move(items_);
    items.clear();
    *this = CardMapping(unmapped_);
    items_ = std::move(items);
}

void CardMapping::addItem(Kind kind, const ContentLine& line, const QString& value,
                          const QString& label, Column column) {
    if (items_.isEmpty())
        items_.reserve(kUsualItems);
    items_ << Item{kind, column, value, label, line.group, rankOf(line, types_), line.lineNumber};
}

// Labelled by its row of kColumnProperties and its types but those silent ones.
void CardMapping::addColumnItem(Column column, const ContentLine& line, const QString& value,
                                std::initializer_list<const char*> silentTypes) {
    addItem(Kind::Column, line, value, labelled(columnLabel(column), types_, silentTypes), column);
}

void CardMapping::addName(const ContentLine& line) {
    if (hasName_) {
        addOther(line);
        return;
    }
    const QStringList parts = line.components();
    hasName_ = true;
    nameLine_ = line.lineNumber;
    family_ = parts.value(0);
    given_ = parts.value(1);
    LineBreaks breaks(line);
    familyColumn_ = breaks.restore(family_);
    givenColumn_ = breaks.restore(given_);
    const char* const extras[] = {"Additional names", "Honorific prefixes", "Honorific suffixes"};
    for (int i = 0; i < 3; ++i)
        if (!parts.value(2 + i).isEmpty())
            addItem(Kind::Other, line, parts.value(2 + i), QString::fromLatin1(extras[i]));
    QStringList more = parts.mid(5);
    more.removeAll(QString());
    if (!more.isEmpty())
        addItem(Kind::Other, line, more.join(u", "), QStringLiteral("More name parts"));
}

void CardMapping::addTel(const ContentLine& line) {
    static const QStringList notVoice = {
        QStringLiteral("cell"),  QStringLiteral("pager"),     QStringLiteral("video"),
        QStringLiteral("text"),  QStringLiteral("textphone"), QStringLiteral("msg"),
        QStringLiteral("modem"), QStringLiteral("car"),       QStringLiteral("isdn"),
        QStringLiteral("bbs"),   QStringLiteral("pcs"),       QStringLiteral("fax")};
    QString value = text(line);
    const QStringList valueType = line.parameter("VALUE");
    if (!valueType.contains(QLatin1String("text")) &&
        value.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        value = value.mid(4);
    const QStringList& types = types_;
    const auto typed = [&types](Column column) {
        return types.contains(QLatin1String(propertyOf(column).type));
    };
    // A number that says nothing of its kind is a voice number.
    const bool voice = typed(Column::Phone) ||
                       std::none_of(types.begin(), types.end(),
                                    [](const QString& type) { return notVoice.contains(type); });
    if (typed(Column::Fax) || voice)
        return addColumnItem(typed(Column::Fax) ? Column::Fax : Column::Phone, line, value,
                             {"voice"});
    addItem(types.contains(QLatin1String("cell")) ? Kind::Cell : Kind::Phone, line, value,
            labelled(columnLabel(Column::Phone), types_, {"voice"}));
}

// An address with no parts of its own may still have its text in LABEL (4.0).
void CardMapping::addAddress(const ContentLine& line) {
    QString address = addressText(line.components());
    // The LABEL is read only for an address without parts.
    if (address.isEmpty())
        address = unescape(line.parameterText("LABEL"), line.escapes);
    addColumnItem(Column::Address, line, LineBreaks(line).restore(address));
}

// Structured values (N, ORG, GENDER) read as their non-empty components joined by commas; a
// phonetic name (SOUND;X-IRMC-N, family;given) as its parts joined by blanks.
void CardMapping::addOther(const ContentLine& line) {
    const bool phonetic = line.name == "SOUND" && types_.contains(QLatin1String("x-irmc-n"));
    QString value = text(line);
    if (phonetic || line.name == "N" || line.name == "ORG" || line.name == "GENDER") {
        QStringList parts = line.components();
        parts.removeAll(QString());
        value = parts.join(phonetic ? u" " : u", ");
    }
    addItem(Kind::Other, line, value,
            phonetic ? QStringLiteral("Phonetic name") : labelled(readableName(line.name), types_));
}

void CardMapping::addOurs(const ContentLine& line) {
    if (line.name == kCreatedOn || line.name == kModifiedOn) {
        Stamp& stamp = line.name == kCreatedOn ? createdOn_ : modifiedOn_;
        stamp.value = text(line);
        stamp.line = line.lineNumber;
    } else if (line.name == kNullColumns || line.name == kBlankColumns)
        (line.name == kNullColumns ? nullColumns_ : blankColumns_) += text(line).split(u',');
}

bool CardMapping::isBlank(qsizetype item) const {
    return item < 0 || QStringView(items_[item].value).trimmed().isEmpty();
}

// The item of that kind (and column) a column takes: one with a value before an empty placeholder
// (the other way round when blankFirst), then the preferred one (when byRank), then the first; -1
// when there is none.
qsizetype CardMapping::best(Kind kind, Column column, bool byRank, bool blankFirst) const {
    qsizetype found = -1;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        if (items_[i].kind != kind || (kind == Kind::Column && items_[i].column != column))
            continue;
        if (found < 0 || (isBlank(found) != blankFirst && isBlank(i) == blankFirst) ||
            (isBlank(found) == isBlank(i) && byRank && items_[i].rank < items_[found].rank))
            found = i;
    }
    return found;
}

void CardMapping::setNames(RowValues& values) const {
    if (hasName_) {
        values[Column::Name] = givenColumn_;
        values[Column::Surname] = familyColumn_;
        return;
    }
    const qsizetype full = best(Kind::FullName, Column::Name, true);
    if (full < 0)
        return;
    const QString name = items_[full].value.trimmed();
    const qsizetype blank = name.lastIndexOf(QLatin1Char(' '));
    values[Column::Name] = blank < 0 ? name : name.left(blank).trimmed();
    if (blank >= 0)
        values[Column::Surname] = name.mid(blank + 1);
}

QString CardMapping::lineOf(const Item& item) const {
    const QString label = groupLabels_.value(item.group);
    // A second address takes one line, its parts separated by commas.
    QString value = item.value;
    if (item.kind == Kind::Column && item.column == Column::Address)
        value.replace(QLatin1Char('\n'), QStringLiteral(", "));
    return (label.isEmpty() ? item.label : label) + QStringLiteral(": ") + value;
}

// The first NOTE, then a line for every item no column took.
QVariant CardMapping::other(const QList<qsizetype>& used) const {
    const qsizetype note = used.last();
    if (unmapped_ == Unmapped::Left)
        return note < 0 ? QVariant() : QVariant(items_[note].value);
    QStringList lines;
    if (!isBlank(note))
        lines << items_[note].value;
    for (qsizetype i = 0; i < items_.size(); ++i) {
        const Item& item = items_[i];
        const bool fullNameSaid =
            item.kind == Kind::FullName && (!hasName_ || item.value == fullName(given_, family_));
        if (used.contains(i) || fullNameSaid || item.value.isEmpty())
            continue;
        lines << lineOf(item);
    }
    if (lines.isEmpty())
        return note < 0 ? QVariant() : QVariant(items_[note].value);
    // A note alone is not copied: it may be most of the file.
    return lines.size() == 1 ? lines.first() : lines.join(QLatin1Char('\n'));
}

// The item a column of kColumnProperties takes. A cell phone stands in for a voice one.
qsizetype CardMapping::itemOf(const ColumnProperty& row) const {
    const bool blankFirst =
        !blankColumns_.isEmpty() && blankColumns_.contains(QLatin1String(storedName(row.column)));
    const qsizetype item = best(Kind::Column, row.column, row.byPreference, blankFirst);
    if (row.column != Column::Phone)
        return item;
    const qsizetype cell = best(Kind::Cell, row.column, true, blankFirst);
    if (item < 0 || (cell >= 0 && isBlank(item) != blankFirst && isBlank(cell) == blankFirst))
        return cell;
    return item;
}

int CardMapping::fullNameLine() const {
    const qsizetype full = best(Kind::FullName, Column::Name, true);
    return full < 0 ? -1 : items_[full].lineNumber;
}

int CardMapping::sourceLine(Column column) const {
    if (column == Column::Name || column == Column::Surname)
        return hasName_ ? nameLine_ : fullNameLine();
    if (column == Column::CreatedOn || column == Column::ModifiedOn)
        return column == Column::CreatedOn ? createdOn_.line : modifiedOn_.line;
    const qsizetype item = itemOf(propertyOf(column));
    return item < 0 ? -1 : items_[item].lineNumber;
}

RowValues CardMapping::contact(const QString& createdOn) const {
    RowValues values;
    setNames(values);
    // The item each column of kColumnProperties takes; the note goes last, as other() expects.
    QList<qsizetype> used;
    used.reserve(qsizetype(std::size(kColumnProperties)));
    for (const ColumnProperty& row : kColumnProperties) {
        if (row.label == nullptr)
            continue; // the dates, of our own properties (addOurs)
        const qsizetype item = itemOf(row);
        used << item;
        if (item >= 0)
            values[row.column] = items_[item].value;
    }
    values[Column::Other] = other(used);
    values[Column::CreatedOn] = createdOn_.value.isNull() ? QVariant(createdOn) : createdOn_.value;
    values[Column::ModifiedOn] = modifiedOn_.value;
    for (const QString& name : nullColumns_)
        if (const int column = contact_table::columnIndex(name); column >= 0)
            values[std::size_t(column)] = QVariant();
    return values;
}

} // namespace vcard
