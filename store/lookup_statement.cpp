#include "store/lookup_statement.h"

#include "store/store_error.h"

#include <QStringBuilder>
#include <array>

const char* lookupColumnName(LookupColumn column) {
    return contact_table::storedName(searchedColumn(column));
}

namespace {

constexpr std::array<LookupColumn, 4> kLookups = {LookupColumn::Name, LookupColumn::Surname,
                                                  LookupColumn::Phone, LookupColumn::Email};

// Each lookup is named for its column, and every column the windows search has one.
constexpr bool lookupsMatchSchema() {
    using contact_table::Column;
    int lookedUp = 0;
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        lookedUp += description.lookedUp ? 1 : 0;
    return lookedUp == int(kLookups.size()) && searchedColumn(LookupColumn::Name) == Column::Name &&
           searchedColumn(LookupColumn::Surname) == Column::Surname &&
           searchedColumn(LookupColumn::Phone) == Column::Phone &&
           searchedColumn(LookupColumn::Email) == Column::Email;
}
static_assert(lookupsMatchSchema(), "the lookups and the searched columns disagree");

// The column as the statement text writes it: the stored name in lower case, made once.
const QString& statementName(LookupColumn column) {
    static const std::array<QString, kLookups.size()> names = [] {
        std::array<QString, kLookups.size()> lowered;
        for (std::size_t i = 0; i < lowered.size(); ++i)
            lowered[i] = QString::fromLatin1(lookupColumnName(LookupColumn(i))).toLower();
        return lowered;
    }();
    return names[std::size_t(column)];
}

[[noreturn]] void malformed(const QString& recordSource) {
    throw StoreError(QStringLiteral("The record source is malformed: \"%1\". A search text must "
                                    "form a complete quoted value.")
                         .arg(recordSource));
}

// A tiny cursor over the record source text. It reads without copying: only the value it
// returns is new text.
class Reader {
  public:
    explicit Reader(QStringView text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    bool skipBlanks() {
        const qsizetype start = pos_;
        while (!atEnd() && text_[pos_].isSpace())
            ++pos_;
        return pos_ > start;
    }

    bool keyword(QLatin1String word) {
        if (text_.sliced(pos_).left(word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = pos_ + word.size();
        if (after < text_.size() && (text_[after].isLetterOrNumber() || text_[after] == u'_'))
            return false;
        pos_ = after;
        return true;
    }

    bool symbol(QChar c) {
        if (atEnd() || text_[pos_] != c)
            return false;
        ++pos_;
        return true;
    }

    // A single-quoted literal in which '' stands for one quote; it must close.
    std::optional<QString> quotedLiteral() {
        if (!symbol(u'\''))
            return std::nullopt;
        QString value;
        for (;;) {
            const qsizetype quote = text_.indexOf(u'\'', pos_);
            if (quote < 0)
                return std::nullopt;
            value += text_.sliced(pos_, quote - pos_);
            pos_ = quote + 1;
            if (atEnd() || text_[pos_] != u'\'')
                return value;
            value += u'\'';
            ++pos_;
        }
    }

  private:
    QStringView text_;
    qsizetype pos_ = 0;
};

} // namespace

// Built in one allocation: every lookup of the find window makes one.
QString lookupStatement(LookupColumn column, const QString& value) {
    const QString escaped =
        value.contains(u'\'') ? QString(value).replace(u'\'', QLatin1String("''")) : value;
    return QLatin1String("Select * from address where ") % statementName(column) %
           QLatin1String(" = '") % escaped % QLatin1Char('\'');
}

RecordSourceQuery parseRecordSource(const QString& recordSource) {
    Reader reader(recordSource);
    reader.skipBlanks();
    if (reader.keyword(QLatin1String(contact_table::kTable))) {
        reader.skipBlanks();
        if (!reader.atEnd())
            malformed(recordSource);
        return {};
    }
    if (!reader.keyword(QLatin1String("select")) || !reader.skipBlanks() || !reader.symbol(u'*') ||
        !reader.skipBlanks() || !reader.keyword(QLatin1String("from")) || !reader.skipBlanks() ||
        !reader.keyword(QLatin1String(contact_table::kTable)) || !reader.skipBlanks() ||
        !reader.keyword(QLatin1String("where")) || !reader.skipBlanks())
        malformed(recordSource);
    std::optional<LookupColumn> column;
    // The keyword compares without regard to case, so the stored name serves as the lower-case one.
    for (const LookupColumn lookup : kLookups)
        if (reader.keyword(QLatin1String(lookupColumnName(lookup)))) {
            column = lookup;
            break;
        }
    if (!column)
        malformed(recordSource);
    reader.skipBlanks();
    if (!reader.symbol(u'='))
        malformed(recordSource);
    reader.skipBlanks();
    std::optional<QString> value = reader.quotedLiteral();
    if (!value)
        malformed(recordSource);
    reader.skipBlanks();
    if (!reader.atEnd())
        malformed(recordSource);
    // No stored text holds a lone surrogate half, and such a value has no UTF-8 form to look for.
    if (!value->isValidUtf16())
        throw StoreError(QStringLiteral("The search text is not valid Unicode text (it holds a "
                                        "lone surrogate half); nothing was searched."));
    return {column, *value};
}
