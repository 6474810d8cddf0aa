#pragma once

#include "about/sysinfo.h"

#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <stdexcept>

// A registry scripted key by key and value by value, down to the status, type and byte count
// each call reports, with a file system and a process launcher to match. It records every call.
class FakeRegistry final : public SysInfoPlatform {
  public:
    struct Value {
        long status = registry::kErrorSuccess;
        std::uint32_t type = registry::kRegSz;
        QByteArray data;
        // The count reported with status 0 when it should not be the data's length.
        std::optional<std::uint32_t> reportedCount;
    };
    struct Key {
        long openStatus = registry::kErrorSuccess;
        KeyHandle handle = 0;
        QMap<QByteArray, Value> values;
    };
    struct Open {
        std::uint32_t root;
        QByteArray path;
        std::uint32_t options;
        std::uint32_t accessMask;
    };
    struct Query {
        KeyHandle key;
        QByteArray valueName;
        std::uint32_t roomGiven;
    };

    // The registered tool's full path, as a string stored with its terminating NUL.
    Value& toolPath(const QByteArray& path) { return string(registry::kSysInfoKey, "PATH", path); }
    // The registered folder of the tool, as a string stored with its terminating NUL.
    Value& toolFolder(const QByteArray& folder) {
        return string(registry::kSysInfoLocationKey, "MSINFO", folder);
    }
    Value& string(const QByteArray& keyPath, const QByteArray& valueName, const QByteArray& text) {
        return value(keyPath, valueName, registry::kRegSz, text + '\0');
    }
    Value& value(const QByteArray& keyPath, const QByteArray& valueName, std::uint32_t type,
                 const QByteArray& data) {
        Value& scripted = key(keyPath).values[valueName];
        scripted.type = type;
        scripted.data = data;
        return scripted;
    }
    Key& key(const QByteArray& keyPath) {
        Key& scripted = keys[keyPath];
        if (scripted.handle == 0)
            scripted.handle = KeyHandle(0x100 + keys.size());
        return scripted;
    }
    KeyHandle handleOf(const QByteArray& keyPath) const { return keys.value(keyPath).handle; }
    QByteArrayList openedPaths() const {
        QByteArrayList paths;
        for (const Open& open : opens)
            paths << open.path;
        return paths;
    }

    long RegOpenKeyEx(std::uint32_t root, const QByteArray& keyPath, std::uint32_t options,
                      std::uint32_t accessMask, KeyHandle& handle) override {
        opens.append({root, keyPath, options, accessMask});
        if (root != registry::kHKeyLocalMachine || !keys.contains(keyPath))
            return registry::kErrorFileNotFound;
        const Key& scripted = keys[keyPath];
        if (scripted.openStatus == registry::kErrorSuccess)
            handle = scripted.handle;
        return scripted.openStatus;
    }

    long RegQueryValueEx(KeyHandle handle, const QByteArray& valueName, std::uint32_t& typeCode,
                         std::span<char> buffer, std::uint32_t& byteCount) override {
        queries.append({handle, valueName, byteCount});
        const auto key = std::find_if(keys.cbegin(), keys.cend(),
                                      [handle](const Key& k) { return k.handle == handle; });
        if (key == keys.cend())
            return registry::kErrorInvalidHandle;
        if (!key->values.contains(valueName))
            return registry::kErrorFileNotFound;
        const Value& scripted = key->values[valueName];
        if (scripted.status != registry::kErrorSuccess)
            return scripted.status;
        typeCode = scripted.type;
        const std::uint32_t room = std::min<std::uint32_t>(byteCount, buffer.size());
        byteCount = std::uint32_t(scripted.data.size());
        if (byteCount > room)
            return registry::kErrorMoreData;
        std::copy(scripted.data.cbegin(), scripted.data.cend(), buffer.begin());
        byteCount = scripted.reportedCount.value_or(byteCount);
        return registry::kErrorSuccess;
    }

    long RegCloseKey(KeyHandle handle) override {
        closes.append(handle);
        return registry::kErrorSuccess;
    }

    QString fileExists(const QString& path) override {
        fileTests.append(path);
        return files.contains(path) ? QFileInfo(path).fileName() : QString();
    }

    // Like the real one, an empty command line cannot be started.
    void launch(const QString& path) override {
        launches.append(path);
        if (path.isEmpty() || failingLaunches.contains(path))
            throw std::runtime_error("File not found");
    }

    QMap<QByteArray, Key> keys;
    QStringList files;
    QStringList failingLaunches;

    QList<Open> opens;
    QList<Query> queries;
    QList<KeyHandle> closes;
    QStringList fileTests;
    QStringList launches;
};
