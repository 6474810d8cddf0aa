#ifndef _WIN32

#include "about/sysinfo.h"

#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

// There is no registry here. This one can only be read, and holds nothing but the two
// system-information keys, present when a system-information program is installed.
namespace {

constexpr DesktopSysInfo::KeyHandle kToolKey = 1;
constexpr DesktopSysInfo::KeyHandle kToolLocationKey = 2;

// Registry names do not depend on case.
bool sameName(const QByteArray& name, const char* registered) {
    return name.compare(registered, Qt::CaseInsensitive) == 0;
}

} // namespace

DesktopSysInfo::DesktopSysInfo()
    : DesktopSysInfo({QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"),
                      QStringLiteral("kinfocenter"), QStringLiteral("lshw-gtk")},
                     {}) {}

DesktopSysInfo::DesktopSysInfo(QStringList toolNames, QStringList searchPaths)
    : toolNames_(std::move(toolNames)), searchPaths_(std::move(searchPaths)) {}

QString DesktopSysInfo::installedTool() const {
    for (const QString& name : toolNames_) {
        const QString path = searchPaths_.isEmpty()
                                 ? QStandardPaths::findExecutable(name)
                                 : QStandardPaths::findExecutable(name, searchPaths_);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

long DesktopSysInfo::RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t,
                                  std::uint32_t accessMask, KeyHandle& key) {
    if (accessMask & ~registry::kKeyRead)
        return registry::kErrorAccessDenied;
    if (root != registry::kHKeyLocalMachine || installedTool().isEmpty())
        return registry::kErrorFileNotFound;
    if (sameName(keyPath, registry::kSysInfoKey))
        key = kToolKey;
    else if (sameName(keyPath, registry::kSysInfoLocationKey))
        key = kToolLocationKey;
    else
        return registry::kErrorFileNotFound;
    return registry::kErrorSuccess;
}

long DesktopSysInfo::RegQueryValueEx(KeyHandle key, const QByteArray& valueName,
                                     std::uint32_t& typeCode, std::span<char> buffer,
                                     std::uint32_t& byteCount) {
    if (key != kToolKey && key != kToolLocationKey)
        return registry::kErrorInvalidHandle;
    const bool isPath = key == kToolKey && sameName(valueName, registry::kSysInfoValue);
    const bool isFolder =
        key == kToolLocationKey && sameName(valueName, registry::kSysInfoLocationValue);
    const QString tool = installedTool();
    if ((!isPath && !isFolder) || tool.isEmpty())
        return registry::kErrorFileNotFound;

    // A string value, stored with its terminating NUL.
    QByteArray data = (isPath ? tool : QFileInfo(tool).absolutePath()).toLocal8Bit();
    data.append('\0');
    const std::uint32_t room = std::min<std::uint32_t>(byteCount, std::uint32_t(buffer.size()));
    typeCode = registry::kRegSz;
    byteCount = std::uint32_t(data.size());
    if (byteCount > room)
        return registry::kErrorMoreData;
    std::copy(data.cbegin(), data.cend(), buffer.begin());
    return registry::kErrorSuccess;
}

long DesktopSysInfo::RegCloseKey(KeyHandle key) {
    return key == kToolKey || key == kToolLocationKey ? registry::kErrorSuccess
                                                      : registry::kErrorInvalidHandle;
}

#endif
