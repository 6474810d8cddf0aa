#include "about/sysinfo.h"

long DesktopSysInfo::RegOpenKeyEx(std::uint32_t, const QByteArray&, std::uint32_t, std::uint32_t,
                                  KeyHandle&) {
    return 2;
}
long DesktopSysInfo::RegQueryValueEx(KeyHandle, const QByteArray&, std::uint32_t&, QByteArray&,
                                     std::uint32_t&) {
    return 2;
}
long DesktopSysInfo::RegCloseKey(KeyHandle) { return 0; }
QString DesktopSysInfo::fileExists(const QString&) { return {}; }
void DesktopSysInfo::launch(const QString&) {}
void DesktopSysInfo::message(const QString&) {}
