#pragma once

#include <QIODevice>

class QNetworkReply;

namespace carddav {

// Whether a finished reply ended short of the length it announced, received bytes in: Qt takes a
// connection closed early for the end of the answer. Unknown for a compressed answer.
bool endedShort(const QNetworkReply& reply, qint64 received);

// The body of a reply as a device that waits for the rest of it: a reader pulls from it as from a
// file while the answer is still arriving, so a large answer is never held whole. Past maxBody
// the reply is aborted and the device ends.
class ReplyStream : public QIODevice {
  public:
    ReplyStream(QNetworkReply& reply, qint64 maxBody);

    bool isSequential() const override { return true; }
    bool tooLarge() const { return tooLarge_; }
    bool cutOff() const;

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

  private:
    void waitForData();

    QNetworkReply& reply_;
    qint64 maxBody_;
    qint64 read_ = 0;
    bool tooLarge_ = false;
};

} // namespace carddav
