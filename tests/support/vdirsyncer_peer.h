#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// vdirsyncer as a second client of a CardDAV address book: it keeps a folder of .vcf files in
// step with the book, as another computer of the same user would. Its configuration, state and
// folder live in a temporary folder.
class VdirsyncerPeer {
  public:
    explicit VdirsyncerPeer(const QUrl& addressBookUrl, const QString& user = {},
                            const QString& password = {});

    // Runs `vdirsyncer discover` (answering its questions yes), then `sync`; each returns
    // whether vdirsyncer succeeded. timeoutMs bounds the run.
    bool discover(int timeoutMs = 120000);
    bool sync(int timeoutMs = 120000);
    // What vdirsyncer printed in its last run.
    QByteArray log() const { return log_; }

    QString folder() const { return dir_.filePath("cards"); }
    // The folder's cards, keyed by file name; and changes to them, for the next sync.
    QMap<QString, QByteArray> cards() const;
    void write(const QString& fileName, const QByteArray& text);
    void remove(const QString& fileName);

  private:
    bool run(const QString& command, int timeoutMs);

    QTemporaryDir dir_;
    QByteArray log_;
};
