// Cutting registry data to its length and reading it as text.

#include "about/sysinfo.h"

#include <QTest>
#include <array>
#include <stdexcept>

namespace {

QByteArray trim(const QByteArray& buffer, std::uint32_t byteCount) {
    return registry::trimRegistryData(std::span<const char>(buffer.constData(), buffer.size()),
                                      byteCount);
}

} // namespace

class TestRegistryData : public QObject {
    Q_OBJECT
  private slots:
    void terminatingNulIsDropped() {
        QCOMPARE(trim(QByteArray("tool\0\0\0\0", 8), 5), QByteArray("tool"));
    }

    void dataWithoutNulIsKeptWhole() {
        QCOMPARE(trim(QByteArray("tool\0\0\0\0", 8), 4), QByteArray("tool"));
        QCOMPARE(trim(QByteArray("toolbox\0", 8), 3), QByteArray("too"));
    }

    void onlyTheLastCountedByteIsLookedAt() {
        QCOMPARE(trim(QByteArray("a\0b\0\0\0", 6), 5), QByteArray("a\0b\0", 4));
    }

    void aLoneNulLeavesNothing() { QCOMPARE(trim(QByteArray(4, '\0'), 1), QByteArray()); }

    void countOfTheWholeBufferIsRead() {
        QByteArray full(1024, 'x');
        QCOMPARE(trim(full, 1024), full);
        full[1023] = '\0';
        QCOMPARE(trim(full, 1024), QByteArray(1023, 'x'));
    }

    void zeroCountIsAnError() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, trim(QByteArray(1024, '\0'), 0));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, trim(QByteArray(), 0));
    }

    void countPastTheBufferIsAnError() {
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, trim(QByteArray(1024, 'x'), 1025));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, trim(QByteArray(), 1));
    }

    void stringIsItsText() {
        QCOMPARE(registry::registryValueText(registry::kRegSz, "C:\\Tools\\info.exe"),
                 std::optional<QString>(QStringLiteral("C:\\Tools\\info.exe")));
        QCOMPARE(registry::registryValueText(registry::kRegSz, QByteArray()),
                 std::optional<QString>(QString()));
    }

    void numberIsLittleEndianInDecimal() {
        using registry::kRegDword;
        QCOMPARE(registry::registryValueText(kRegDword, QByteArray("\x01\x02", 2)),
                 std::optional<QString>(QStringLiteral("513")));
        QCOMPARE(registry::registryValueText(kRegDword, QByteArray("\x78\x56\x34\x12", 4)),
                 std::optional<QString>(QString::number(0x12345678)));
        QCOMPARE(registry::registryValueText(kRegDword, QByteArray("\x00\x00\x00\x80", 4)),
                 std::optional<QString>(QStringLiteral("2147483648")));
        QCOMPARE(registry::registryValueText(kRegDword, QByteArray()),
                 std::optional<QString>(QStringLiteral("0")));
    }

    void numberWiderThanFourBytesIsAnError() {
        QVERIFY_THROWS_EXCEPTION(std::overflow_error,
                                 registry::registryValueText(
                                     registry::kRegDword, QByteArray("\x01\x02\x03\x04\x05", 5)));
    }

    void otherTypesHaveNoText() {
        for (std::uint32_t type : {0u, 2u, 3u, 7u, 11u})
            QVERIFY(!registry::registryValueText(type, "data").has_value());
    }
};

QTEST_GUILESS_MAIN(TestRegistryData)
#include "test_registry_data.moc"
