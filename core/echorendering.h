#pragma once

#include <QByteArrayView>
#include <QString>

namespace zuno {

// What an echo line shows for a piece of traffic, and which legends that text calls for.
struct EchoRendering
{
    QString text;           // starts with one blank; one token per byte
    bool showAck = false;   // an ACK (0x06) was rendered: the ACK legend becomes visible
    bool showCr = false;    // a CR was rendered: the CR legend becomes visible
    bool showSpace = false; // a space was rendered: the space legend becomes visible
};

// Renders bytes as they travel on the wire (one character per byte) into the readable form of
// the TxD and RxD echo lines: control codes spelled out, never a raw control character.
EchoRendering renderEcho(QByteArrayView bytes);

} // namespace zuno
