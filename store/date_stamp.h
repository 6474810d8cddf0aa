#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// Where "today" comes from; tests set it.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
};

class SystemClock final : public Clock {
  public:
    QDate today() const override { return QDate::currentDate(); }
};

// Today's date without a time of day, as the locale's short date text.
QString dateStamp(const Clock& clock, const QLocale& locale = QLocale());
