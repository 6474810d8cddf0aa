#include "exchange/vcard_types.h"

#include <QHash>
#include <algorithm>

namespace vcard {

namespace {

// The types one TYPE value names: most name one, and are taken without a split.
void addTypes(const QString& value, QStringList& types) {
    if (!value.contains(QLatin1Char(','))) {
        if (!value.isEmpty())
            types << value.trimmed();
        return;
    }
    for (const QString& type : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
        types << type.trimmed();
}

} // namespace

QStringList typesOf(const ContentLine& line) {
    QStringList types;
    for (const Parameter& parameter : line.parameters) {
        if (QByteArrayView(parameter.name) != "TYPE")
            continue;
        types.reserve(types.size() + parameter.values.size());
        for (const QString& written : parameter.values)
            addTypes(written.toLower(), types);
    }
    return types;
}

int rankOf(const ContentLine& line, const QStringList& types) {
    if (line.parameters.isEmpty())
        return 101;
    bool isNumber = false;
    const int pref = line.parameter("PREF").value(0).toInt(&isNumber);
    if (isNumber)
        return pref;
    return types.contains(QLatin1String("pref")) ? 1 : 101;
}

QString labelled(const QString& base, QStringList types,
                 std::initializer_list<const char*> silent) {
    const auto isSilent = [silent](const QString& type) {
        return type == QLatin1String("pref") ||
               std::any_of(silent.begin(), silent.end(),
                           [&type](const char* quiet) { return type == QLatin1String(quiet); });
    };
    // Most values have no type, or only ones that say nothing: the base alone, nothing copied.
    if (std::all_of(types.cbegin(), types.cend(), isSilent))
        return base;
    types.removeAll(QStringLiteral("pref"));
    for (const char* type : silent)
        types.removeAll(QLatin1String(type));
    types.removeDuplicates();
    return types.isEmpty() ? base : QStringLiteral("%1 (%2)").arg(base, types.join(u", "));
}

QString readableName(const QByteArray& name) {
    static const QHash<QByteArray, const char*> names = {{"ORG", "Organization"},
                                                         {"TITLE", "Title"},
                                                         {"ROLE", "Role"},
                                                         {"BDAY", "Birthday"},
                                                         {"ANNIVERSARY", "Anniversary"},
                                                         {"NICKNAME", "Nickname"},
                                                         {"IMPP", "Instant messaging"},
                                                         {"GENDER", "Gender"},
                                                         {"LANG", "Language"},
                                                         {"TZ", "Time zone"},
                                                         {"GEO", "Location"},
                                                         {"CATEGORIES", "Categories"},
                                                         {"RELATED", "Related"},
                                                         {"MEMBER", "Member"},
                                                         {"LABEL", "Address label"},
                                                         {"AGENT", "Agent"},
                                                         {"PHOTO", "Photo"},
                                                         {"LOGO", "Logo"},
                                                         {"SOUND", "Sound"},
                                                         {"KEY", "Key"},
                                                         {"MAILER", "Mail program"},
                                                         {"SOURCE", "Source"},
                                                         {"N", "Name"},
                                                         {"SORT-STRING", "Sort as"},
                                                         {"CALURI", "Calendar"},
                                                         {"FBURL", "Free/busy"},
                                                         {"CALADRURI", "Calendar requests"}};
    const char* readable = names.value(name);
    return readable ? QString::fromLatin1(readable) : QString::fromUtf8(name);
}

QString appleLabel(const QString& label) {
    if (label.startsWith(QLatin1String("_$!<")) && label.endsWith(QLatin1String(">!$_")))
        return label.mid(4, label.size() - 8);
    return label;
}

} // namespace vcard
