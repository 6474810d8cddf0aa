#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// The UTF-8 bytes of one value as text. QString::fromUtf8 takes a leading U+FEFF for a byte order
// mark and drops it; inside a value it is a character like any other.
inline QString utf8Text(QByteArrayView bytes) {
    if (!bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}
