#include "store/written_output.h"

#include "store/store_error.h"
#include "store/utf8_text.h"

#include <QFileDevice>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace written_output {

namespace {

[[noreturn]] void failWith(const QString& cause) {
    throw StoreError(QStringLiteral("Cannot write to standard output: %1.").arg(cause));
}

QString deviceError(const QTextStream& out) {
    const QIODevice* device = out.device();
    return device && !device->errorString().isEmpty() ? device->errorString()
                                                      : QStringLiteral("the write failed");
}

// Some file systems report a failed write only when a handle on the file is closed; closing a
// duplicate of the handle asks without closing the output itself.
void closeDuplicate(const QTextStream& out) {
#ifndef _WIN32
    const auto* file = qobject_cast<const QFileDevice*>(out.device());
    if (!file || file->handle() < 0)
        return;
    const int duplicate = ::dup(file->handle());
    if (duplicate >= 0 && ::close(duplicate) != 0 && errno != EINTR)
        failWith(QString::fromLocal8Bit(std::strerror(errno)));
#else
    Q_UNUSED(out);
#endif
}

} // namespace

void requireWritten(const QTextStream& out) {
    if (out.status() != QTextStream::Ok)
        failWith(deviceError(out));
}

void writeBytes(QTextStream& out, const QByteArray& bytes) {
    QIODevice* device = out.device();
    if (!device) {
        // A leading U+FEFF is text here, not a byte order mark to drop.
        out << utf8Text(bytes);
        return;
    }
    out.flush();
    requireWritten(out);
    if (device->write(bytes) != bytes.size())
        failWith(deviceError(out));
}

void finish(QTextStream& out) {
    out.flush();
    requireWritten(out);
    if (auto* file = qobject_cast<QFileDevice*>(out.device()); file && !file->flush())
        failWith(deviceError(out));
    closeDuplicate(out);
}

} // namespace written_output
