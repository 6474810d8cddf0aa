#include "store/date_stamp.h"

QString dateStamp(const Clock& clock, const QLocale& locale) {
    return locale.toString(clock.today(), QLocale::ShortFormat);
}
