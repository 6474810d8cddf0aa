#include "exchange/sync_card.h"

#include "exchange/card_lines.h"
#include "exchange/vcard_card.h"
#include "exchange/vcard_export.h"
#include "exchange/vcard_writing.h"

namespace sync_card {

namespace {

using contact_table::Column;
using vcard::CardLines;
using vcard::ContentLine;
using vcard::ValueText;

bool same(const QVariant& a, const QVariant& b) {
    return a.isNull() == b.isNull() && a.toString() == b.toString();
}

vcard::CardMapping mappingOf(const CardLines& card) {
    vcard::CardMapping mapping(vcard::CardMapping::Unmapped::Left);
    for (const ContentLine& line : card.lines)
        mapping.add(line);
    return mapping;
}

RowValues columnsOfLines(const CardLines& card, const QString& createdOn) {
    return mappingOf(card).contact(createdOn);
}

// A parameter that tells how the old value was written rather than what the property is: its
// encoding, charset and kinds of breaks, and an address's LABEL (the old address as text).
bool describesValue(const QByteArray& segment, bool isAddress) {
    ContentLine probe;
    vcard::parseHead("X;" + segment, probe);
    if (probe.parameters.isEmpty())
        return false;
    const QByteArray& name = probe.parameters.first().name;
    return name == "ENCODING" || name == "CHARSET" || name == vcard::kBreaks ||
           (isAddress && name == "LABEL");
}

// The group, name and parameters of a line being rewritten, as written.
QByteArray keptHead(const ContentLine& line) {
    const QList<QByteArray> segments = vcard::splitUnquoted(line.head, ';');
    QByteArray head = segments.first();
    for (qsizetype i = 1; i < segments.size(); ++i)
        if (!describesValue(segments[i], line.name == "ADR"))
            head += ';' + segments[i];
    return head;
}

// Property lines in a card's own version, escaping and line ends; a rewritten one keeps the head
// of the line it replaces.
class LineWriter {
  public:
    explicit LineWriter(const CardLines& card) : escapes_(card.escapes()), lineEnd_(card.lineEnd) {}

    QByteArray column(Column column, const ContentLine* old, const QString& value) const {
        QByteArray head =
            old ? keptHead(*old) : vcard::columnHead(vcard::propertyOf(column), value);
        ValueText text(escapes_);
        if (column == Column::Address) {
            // As the export writes it: the whole text in the street component.
            if (escapes_ == vcard::Escapes::Standard)
                head += ";LABEL=\"" + vcard::parameterText(value.toUtf8()) + '"';
            text.addEscaped(";;");
            text.add(value);
            text.addEscaped(";;;;");
        } else {
            if (old && old->name == "TEL")
                addTelValueType(*old, value, head, text);
            text.add(value);
        }
        return line(head, text);
    }

    // N keeps the components after family and given name.
    QByteArray names(const ContentLine* old, const QString& given, const QString& family) const {
        ValueText text(escapes_);
        text.add(family);
        text.addEscaped(";");
        text.add(given);
        const QStringList kept = old ? old->escapedComponents().mid(2) : QStringList(3, QString());
        for (const QString& component : kept)
            text.addEscaped(';' + component.toUtf8());
        return line(old ? keptHead(*old) : QByteArray("N"), text);
    }

    QByteArray plain(const ContentLine* old, const char* name, const QString& value) const {
        ValueText text(escapes_);
        text.add(value);
        return line(old ? keptHead(*old) : QByteArray(name), text);
    }

    QByteArray marker(const ContentLine* old, const char* name, const QStringList& columns) const {
        ValueText text(escapes_);
        text.addEscaped(columns.join(QLatin1Char(',')).toUtf8());
        return line(old ? keptHead(*old) : QByteArray(name), text);
    }

  private:
    // A tel: URI stays one; text that only looks like one is marked as text.
    static void addTelValueType(const ContentLine& old, const QString& value, QByteArray& head,
                                ValueText& text) {
        const QStringList valueType = old.parameter("VALUE");
        if (valueType.contains(QLatin1String("uri")))
            text.addEscaped("tel:");
        else if (vcard::looksLikeTelUri(value) && !valueType.contains(QLatin1String("text")))
            head += ";VALUE=text";
    }

    QByteArray line(QByteArrayView head, const ValueText& text) const {
        QByteArray written;
        text.appendLine(written, head, lineEnd_);
        return written;
    }

    vcard::Escapes escapes_;
    QByteArray lineEnd_;
};

// Rewrites the lines of the columns that changed, then the markers the result needs.
class Patcher {
  public:
    Patcher(const CardLines& card, const RowValues& before, const RowValues& after)
        : card_(card), before_(before), after_(after), writer_(card), patch_(card),
          mapping_(vcard::CardMapping::Unmapped::Left) {
        for (const ContentLine& line : card.lines)
            mapping_.add(line);
    }

    QByteArray result() {
        for (const vcard::ColumnProperty& row : vcard::kColumnProperties)
            if (!same(before_[row.column], after_[row.column]))
                rewriteColumn(row.column);
        rewriteNames();
        if (patch_.isEmpty())
            return card_.physical.join();
        rewriteMarker(vcard::kNullColumns, &Patcher::needsNullMark);
        rewriteMarker(vcard::kBlankColumns, &Patcher::needsBlankMark);
        return patch_.result();
    }

  private:
    void put(const ContentLine* old, const QByteArray& lines) {
        if (old)
            patch_.replace(*old, lines);
        else
            patch_.insert(lines);
    }

    void rewriteColumn(Column column) {
        const ContentLine* old = card_.at(mapping_.sourceLine(column));
        const QVariant& value = after_[column];
        if (!value.isNull())
            put(old, writer_.column(column, old, value.toString()));
        else if (old)
            patch_.replace(*old, {});
    }

    // FN follows the names only where it was what they made: else it is the card's own.
    void rewriteNames() {
        if (same(before_[Column::Name], after_[Column::Name]) &&
            same(before_[Column::Surname], after_[Column::Surname]))
            return;
        const QString given = after_[Column::Name].toString();
        const QString family = after_[Column::Surname].toString();
        const ContentLine* n =
            mapping_.hasName() ? card_.at(mapping_.sourceLine(Column::Name)) : nullptr;
        put(n, writer_.names(n, given, family));
        const ContentLine* fn = card_.at(mapping_.fullNameLine());
        const QString old =
            vcard::fullName(before_[Column::Name].toString(), before_[Column::Surname].toString());
        if (!fn || fn->plainText() == old)
            put(fn, writer_.plain(fn, "FN", vcard::fullName(given, family)));
    }

    static bool needsNullMark(const QVariant& wanted, const QVariant& read) {
        return wanted.isNull() && !read.isNull();
    }
    static bool needsBlankMark(const QVariant& wanted, const QVariant& read) {
        return !wanted.isNull() && wanted.toString().trimmed().isEmpty() &&
               !read.toString().trimmed().isEmpty();
    }

    // The marker names the columns the card's lines would give otherwise than `after` has them;
    // it is left as it is when it already does. A column that did not change keeps its mark or
    // its lack of one: a card without dates of ours gets none.
    void rewriteMarker(const char* name, bool (*needed)(const QVariant&, const QVariant&)) {
        const QList<const ContentLine*> old = card_.named(name);
        vcard::CardPatch unmarked = patch_;
        for (const ContentLine* line : old)
            unmarked.replace(*line, {});
        const RowValues read =
            columnsOfLines(vcard::readCardLines(unmarked.result()), QStringLiteral("?"));
        QStringList columns, had;
        for (const ContentLine* line : old)
            had += line->plainText().split(QLatin1Char(','));
        for (int i = 0; i < contact_table::kColumnCount; ++i) {
            const QString column = QLatin1String(contact_table::kSchema[std::size_t(i)].storedName);
            const bool changed = !same(before_[std::size_t(i)], after_[std::size_t(i)]);
            if (changed ? needed(after_[std::size_t(i)], read[std::size_t(i)])
                        : had.contains(column))
                columns << column;
        }
        QStringList wanted = columns;
        had.sort();
        wanted.sort();
        if (had == wanted)
            return;
        for (const ContentLine* line : old)
            patch_.replace(*line, {});
        if (!columns.isEmpty())
            put(old.value(0), writer_.marker(old.value(0), name, columns));
    }

    const CardLines& card_;
    const RowValues& before_;
    const RowValues& after_;
    LineWriter writer_;
    vcard::CardPatch patch_;
    vcard::CardMapping mapping_;
};

} // namespace

RowValues columnsOf(const QByteArray& card, const QString& createdOn) {
    return columnsOfLines(vcard::readCardLines(card), createdOn);
}

QString uidOf(const QByteArray& card) {
    const CardLines lines = vcard::readCardLines(card);
    const QList<const ContentLine*> uids = lines.named("UID");
    return uids.isEmpty() ? QString() : uids.first()->plainText().trimmed();
}

bool isGroup(const QByteArray& card) {
    return mappingOf(vcard::readCardLines(card)).isGroup();
}

QByteArray newCard(const RowValues& values, const QString& uid) {
    return vcard_export::card(values, "3.0", uid);
}

QByteArray patchCard(const QByteArray& card, const RowValues& before, const RowValues& after) {
    const CardLines lines = vcard::readCardLines(card);
    return Patcher(lines, before, after).result();
}

} // namespace sync_card
