#include "shell/services.h"

#include <QCoreApplication>

AppInfo buildAppInfo() {
    AppInfo info;
    info.title = QStringLiteral(TESSALINE_TITLE);
    info.major = TESSALINE_VERSION_MAJOR;
    info.minor = TESSALINE_VERSION_MINOR;
    info.revision = TESSALINE_VERSION_REVISION;
    info.directory = [] { return QCoreApplication::applicationDirPath(); };
    return info;
}
