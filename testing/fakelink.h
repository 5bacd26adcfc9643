#pragma once

#include "core/link.h"

#include <QHash>
#include <QList>

// A line to nowhere for tests: records what is written, opens any port unless told to refuse
// it, and delivers bytes or a hang-up when the test says so.
class FakeLink : public zuno::Link
{
    Q_OBJECT
  public:
    using Link::Link;

    void open(int port, int bitsPerSecond) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    bool write(QByteArrayView bytes) override;

    // Every write, in order, and all bytes written since the last takeWire().
    QList<QByteArray> writes;
    QByteArray takeWire();
    // The last open() asked for, and how many open() calls came.
    int port = 0;
    int bitsPerSecond = 0;
    int openCalls = 0;
    // Ports that refuse to open, with the reason they give.
    QHash<int, QString> refusals;
    // When set, open() answers only once the test calls answerOpen(), as a serial device server
    // answers a moment later; close() before that gives the open up without an answer.
    bool answersLater = false;
    void answerOpen();
    bool isOpening() const { return m_opening; }

    // The projector answers, or the line goes away.
    void arrive(const QByteArray& bytes) { emit received(bytes); }
    void hangUp();

  private:
    void answer();

    bool m_open = false;
    bool m_opening = false;
    QByteArray m_wire;
};
