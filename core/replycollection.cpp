#include "core/replycollection.h"

#include <algorithm>

namespace zuno {

void appendReceived(QByteArray& collection, QByteArrayView incoming)
{
    const qsizetype room = std::max<qsizetype>(0, kReplyCollectionLimit - collection.size());
    collection.append(incoming.first(std::min(room, incoming.size())));
}

} // namespace zuno
