#pragma once

#include <QByteArray>
#include <QStringList>

namespace zuno {

// The three command lists of the console: basic codes, set commands, read commands.
enum class CatalogueList
{
    Basic,
    Set,
    Read
};

// The command catalogue: fixed lists of items compiled into the program. An item is
// the command text, "[CR]", and usually a separator and a description, byte for byte
// as the console shows it.
namespace Catalogue {

// Number of items in the list (44 basic, 800 set, 149 read).
int count(CatalogueList list);

// The item at a position counted from 0, exact bytes; empty for a position out of range.
QByteArray item(CatalogueList list, int position);

// All items of the list in catalogue order, Latin-1 decoded, for filling a drop-down list.
QStringList items(CatalogueList list);

} // namespace Catalogue
} // namespace zuno
