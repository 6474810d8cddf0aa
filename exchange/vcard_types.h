#pragma once

#include "exchange/vcard_line.h"

#include <QString>
#include <QStringList>
#include <initializer_list>

// What a property's name, TYPE and PREF parameters say: its kinds, how much it is preferred, and
// the label it takes among the notes.
namespace vcard {

// TYPE values in every spelling, lower case: TYPE=a,b; TYPE=a;TYPE=b; TYPE="a,b"; 2.1 bare ;A;B.
QStringList typesOf(const ContentLine& line);

// Lower is preferred: PREF=n (4.0), TYPE=pref (3.0, 2.1) as 1, anything else last. The types
// are the line's typesOf().
int rankOf(const ContentLine& line, const QStringList& types);

// "Phone (cell, work)": the types that say something, after the base name; pref and the silent
// ones say nothing.
QString labelled(const QString& base, QStringList types,
                 std::initializer_list<const char*> silent = {});

// The readable name of a text property that has no column of its own ("Organization" for ORG),
// else the name as written.
QString readableName(const QByteArray& name);

// A label as Apple writes its own ones, "_$!<Mobile>!$_", without the marks around it.
QString appleLabel(const QString& label);

} // namespace vcard
