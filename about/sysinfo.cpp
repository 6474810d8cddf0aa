#include "about/sysinfo.h"

#include <QFileInfo>
#include <QProcess>
#include <stdexcept>

namespace registry {

QByteArray trimRegistryData(std::span<const char> buffer, std::uint32_t byteCount) {
    if (byteCount == 0 || byteCount > buffer.size())
        throw std::invalid_argument("Invalid procedure call or argument");
    const bool endsInNul = buffer[byteCount - 1] == '\0';
    return QByteArray(buffer.data(), qsizetype(endsInNul ? byteCount - 1 : byteCount));
}

std::optional<QString> registryValueText(std::uint32_t typeCode, const QByteArray& trimmed) {
    switch (typeCode) {
    case kRegSz:
        // The registry hands strings over in the local 8-bit code page.
        return QString::fromLocal8Bit(trimmed);
    case kRegDword: {
        if (trimmed.size() > 4)
            throw std::overflow_error("Overflow");
        // Little-endian: the last byte is the most significant.
        std::uint32_t number = 0;
        for (qsizetype i = trimmed.size() - 1; i >= 0; --i)
            number = (number << 8) | std::uint8_t(trimmed[i]);
        return QString::number(number);
    }
    default:
        return std::nullopt;
    }
}

} // namespace registry

QString DesktopSysInfo::fileExists(const QString& path) {
    const QFileInfo file(path);
    return file.isFile() ? file.fileName() : QString();
}

void DesktopSysInfo::launch(const QString& path) {
    if (!QProcess::startDetached(path, {}))
        throw std::runtime_error(QStringLiteral("Cannot start %1").arg(path).toStdString());
}
