#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What the system-information launcher needs of the operating system: three registry
// operations, a file existence test, a process launch and a message box.
class SysInfoPlatform {
  public:
    using KeyHandle = std::uint32_t;
    static constexpr std::uint32_t kHKeyLocalMachine = 0x80000002u;
    static constexpr std::uint32_t kRegSz = 1;
    static constexpr std::uint32_t kRegDword = 4;

    virtual ~SysInfoPlatform() = default;
    // Status 0 means success, as the registry functions report it.
    virtual long RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t options,
                              std::uint32_t accessMask, KeyHandle& key) = 0;
    // On entry byteCount is the buffer's size; on success it is the data's length.
    virtual long RegQueryValueEx(KeyHandle key, const QByteArray& valueName,
                                 std::uint32_t& typeCode, QByteArray& buffer,
                                 std::uint32_t& byteCount) = 0;
    virtual long RegCloseKey(KeyHandle key) = 0;
    // The file's name when it exists, the empty text otherwise.
    virtual QString fileExists(const QString& path) = 0;
    // Starts the program without waiting; throws when it cannot be started.
    virtual void launch(const QString& commandLine) = 0;
    virtual void message(const QString& text) = 0;
};

// The real operating system: the registry on Windows; elsewhere a registry that answers the two
// system-information keys from the programs installed on the desktop.
class DesktopSysInfo final : public SysInfoPlatform {
  public:
    long RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t options,
                      std::uint32_t accessMask, KeyHandle& key) override;
    long RegQueryValueEx(KeyHandle key, const QByteArray& valueName, std::uint32_t& typeCode,
                         QByteArray& buffer, std::uint32_t& byteCount) override;
    long RegCloseKey(KeyHandle key) override;
    QString fileExists(const QString& path) override;
    void launch(const QString& commandLine) override;
    void message(const QString& text) override;
};
