#include "core/catalogue.h"

#include <QList>
#include <array>

// The list texts are generated at build time from core/catalogue/*.txt: one item per
// line, every line ended by LF. Each array holds the file's bytes followed by a zero that
// is not counted in its size.
namespace zuno::embedded {
extern const char kBasicList[];
extern const unsigned kBasicListSize;
extern const char kSetList[];
extern const unsigned kSetListSize;
extern const char kReadList[];
extern const unsigned kReadListSize;
} // namespace zuno::embedded

namespace zuno::Catalogue {
namespace {

QList<QByteArray> splitLines(const char* text, unsigned size)
{
    QList<QByteArray> lines = QByteArray(text, size).split('\n');
    // The LF after the last item leaves an empty piece behind it; it is no item.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

const QList<QByteArray>& itemsOf(CatalogueList list)
{
    using namespace embedded;
    static const std::array<QList<QByteArray>, 3> lists = {
        splitLines(kBasicList, kBasicListSize),
        splitLines(kSetList, kSetListSize),
        splitLines(kReadList, kReadListSize),
    };
    switch (list) {
    case CatalogueList::Basic:
        return lists[0];
    case CatalogueList::Set:
        return lists[1];
    case CatalogueList::Read:
        return lists[2];
    }
    static const QList<QByteArray> none;
    return none;
}

} // namespace

int count(CatalogueList list)
{
    return static_cast<int>(itemsOf(list).size());
}

QByteArray item(CatalogueList list, int position)
{
    const QList<QByteArray>& lines = itemsOf(list);
    if (position < 0 || position >= lines.size())
        return {};
    return lines.at(position);
}

QStringList items(CatalogueList list)
{
    QStringList texts;
    for (const QByteArray& line : itemsOf(list))
        texts.append(QString::fromLatin1(line));
    return texts;
}

} // namespace zuno::Catalogue
