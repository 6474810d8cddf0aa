#pragma once

#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

// A CardDAV server of its own for a test, on 127.0.0.1 and a free port, with an empty address
// book; it is stopped when the object goes.
class LocalDavServer {
  public:
    enum class Kind { Radicale, Xandikos };

    explicit LocalDavServer(Kind kind);
    ~LocalDavServer();

    QUrl root() const;
    QUrl book() const;
    QString user() const; // empty when the server asks for no password
    QString password() const;

  private:
    void startRadicale();
    void startXandikos();
    void waitUntilListening();

    Kind kind_;
    QTemporaryDir folder_;
    QProcess process_;
    quint16 port_ = 0;
};
