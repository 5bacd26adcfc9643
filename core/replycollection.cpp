#include "link/rxbuffer.h"

#include <algorithm>

namespace zuno {

void appendReceived(QByteArray& rxBuffer, QByteArrayView incoming)
{
    const qsizetype room = std::max<qsizetype>(0, kRxBufferLimit - rxBuffer.size());
    rxBuffer.append(incoming.first(std::min(room, incoming.size())));
}

} // namespace zuno
