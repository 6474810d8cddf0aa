#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

// A CardDAV server of its own for a test, on 127.0.0.1 and a free port, with an empty address
// book; it is stopped when the object goes.
class LocalDavServer {
  public:
    enum class Kind { Radicale, Xandikos };

    // With tls, Radicale answers https:// only, with a certificate of its own; caFile() trusts it.
    explicit LocalDavServer(Kind kind, bool tls = false);
    ~LocalDavServer();

    QUrl root() const;
    QUrl book() const;
    QString user() const; // empty when the server asks for no password
    QString password() const;
    QString caFile() const;

  private:
    void startRadicale();
    QStringList certificateOptions();
    void startXandikos();
    void waitUntilListening();

    Kind kind_;
    bool tls_;
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};
