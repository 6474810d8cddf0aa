#include "exchange/vcard_types.h"

namespace vcard {

QStringList typesOf(const ContentLine& line) {
    QStringList types;
    if (line.parameters.isEmpty())
        return types;
    for (const QString& value : line.parameter("TYPE")) {
        if (!value.contains(QLatin1Char(','))) { // the usual one type, without a split
            if (!value.isEmpty())
                types << value.trimmed();
            continue;
        }
        for (const QString& type : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
            types << type.trimmed();
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
    if (types.isEmpty())
        return base;
    types.removeAll(QStringLiteral("pref"));
    for (const char* type : silent)
        types.removeAll(QLatin1String(type));
    types.removeDuplicates();
    return types.isEmpty() ? base : QStringLiteral("%1 (%2)").arg(base, types.join(u", "));
}

} // namespace vcard
