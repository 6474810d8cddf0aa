#include "support/vdirsyncer_peer.h"

#include "support/event_loop_process.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

// A string as a TOML-like value of vdirsyncer's configuration.
QByteArray quoted(const QString& text) {
    QByteArray value = text.toUtf8();
    value.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + value + '"';
}

} // namespace

VdirsyncerPeer::VdirsyncerPeer(const QUrl& addressBookUrl, const QString& user,
                               const QString& password) {
    if (!dir_.isValid() || !QDir().mkpath(folder()))
        qFatal("No temporary folder for vdirsyncer");
    QByteArray config = "[general]\nstatus_path = " + quoted(dir_.filePath("status/")) +
                        "\n\n[pair book]\na = \"book_folder\"\nb = \"book_server\"\n"
                        "collections = null\n\n[storage book_folder]\ntype = \"filesystem\"\n"
                        "path = " +
                        quoted(folder()) + "\nfileext = \".vcf\"\n\n[storage book_server]\n" +
                        "type = \"carddav\"\nurl = " + quoted(addressBookUrl.toString()) + '\n';
    if (!user.isEmpty())
        config += "username = " + quoted(user) + "\npassword = " + quoted(password) + '\n';
    QFile file(dir_.filePath("config"));
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size())
        qFatal("Cannot write vdirsyncer's configuration");
}

bool VdirsyncerPeer::discover(int timeoutMs) {
    return run("discover", timeoutMs);
}

bool VdirsyncerPeer::sync(int timeoutMs) {
    return run("sync", timeoutMs);
}

bool VdirsyncerPeer::run(const QString& command, int timeoutMs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("vdirsyncer", {"-c", dir_.filePath("config"), command});
    process.waitForStarted();
    // Whatever it asks (make a collection?), the answer is yes.
    process.write(QByteArray("y\n").repeated(16));
    process.closeWriteChannel();
    const bool ended = finishInEventLoop(process, timeoutMs);
    log_ = process.readAll();
    return ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

QMap<QString, QByteArray> VdirsyncerPeer::cards() const {
    QMap<QString, QByteArray> texts;
    const QDir cardFolder(folder());
    for (const QString& name : cardFolder.entryList({"*.vcf"}, QDir::Files)) {
        QFile file(cardFolder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            texts.insert(name, file.readAll());
    }
    return texts;
}

void VdirsyncerPeer::write(const QString& fileName, const QByteArray& text) {
    QFile file(QDir(folder()).filePath(fileName));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("Cannot write %s", qPrintable(file.fileName()));
}

void VdirsyncerPeer::remove(const QString& fileName) {
    QDir(folder()).remove(fileName);
}
