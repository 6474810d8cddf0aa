#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

// What the system-information launcher needs of the operating system: three registry
// operations, a file existence test and a process launch. The message it may show goes through
// the window model's message boxes like every other message of the program.
class SysInfoPlatform {
  public:
    // Wide enough for a real key handle on 64-bit Windows; the predefined roots stay 32-bit codes.
    using KeyHandle = std::uintptr_t;

    virtual ~SysInfoPlatform() = default;
    // Status 0 means opened, and key is then set; any other status means not opened.
    virtual long RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t options,
                              std::uint32_t accessMask, KeyHandle& key) = 0;
    // On entry byteCount is the room in buffer; on status 0 the data is in buffer and byteCount
    // holds its length. ERROR_MORE_DATA reports a value longer than the room given.
    virtual long RegQueryValueEx(KeyHandle key, const QByteArray& valueName,
                                 std::uint32_t& typeCode, std::span<char> buffer,
                                 std::uint32_t& byteCount) = 0;
    // The caller ignores the status.
    virtual long RegCloseKey(KeyHandle key) = 0;
    // The file's name when a normal file exists at path, the empty text otherwise.
    virtual QString fileExists(const QString& path) = 0;
    // Starts the program at path as a separate process without waiting for it; throws when it
    // cannot be started.
    virtual void launch(const QString& path) = 0;
};

namespace registry {

inline constexpr std::uint32_t kHKeyLocalMachine = 0x80000002u;
// Query value, enumerate sub keys, notify and read control: reading needs nothing more.
inline constexpr std::uint32_t kKeyRead = 0x20019u;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorMoreData = 234;
inline constexpr std::uint32_t kBufferSize = 1024;

// Where the system-information tool is registered: its full path, or the folder that holds it.
inline constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kSysInfoValue[] = "PATH";
inline constexpr char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kSysInfoLocationValue[] = "MSINFO";

// The data of a read value cut to its length: when the byte at the last position of the count
// is NUL (a string's terminator) it is dropped, otherwise all counted bytes are kept. Throws
// std::invalid_argument when the count is 0 or reaches past the end of the buffer, so nothing
// outside the buffer is ever read.
QByteArray trimRegistryData(std::span<const char> buffer, std::uint32_t byteCount);

// The text of trimmed data of the given type: a string as it stands, a 32-bit number in decimal
// digits (throws std::overflow_error for more than four bytes); nothing for any other type.
std::optional<QString> registryValueText(std::uint32_t typeCode, const QByteArray& trimmed);

} // namespace registry

// The real operating system: the registry on Windows; elsewhere a registry that can only be
// read and answers the two system-information keys from the programs installed on the desktop.
class DesktopSysInfo final : public SysInfoPlatform {
  public:
#ifdef _WIN32
    DesktopSysInfo() = default;
#else
    // Looks for the first of the well-known system-information programs on the PATH.
    DesktopSysInfo();
    // Looks for the first of toolNames in searchPaths.
    DesktopSysInfo(QStringList toolNames, QStringList searchPaths);
#endif

    long RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t options,
                      std::uint32_t accessMask, KeyHandle& key) override;
    long RegQueryValueEx(KeyHandle key, const QByteArray& valueName, std::uint32_t& typeCode,
                         std::span<char> buffer, std::uint32_t& byteCount) override;
    long RegCloseKey(KeyHandle key) override;
    QString fileExists(const QString& path) override;
    void launch(const QString& path) override;

#ifndef _WIN32
  private:
    QString installedTool() const;
    QStringList toolNames_;
    QStringList searchPaths_;
#endif
};
