#pragma once
// The client's files, one row each. Backup, restore, "/verify" and reset walk this table, and the
// archive's fixed entry names come from it: a file the client adds is one more row.
#include <cstddef>
#include <iterator>

#include "platform/text.h"
#include "res/non_localizable.h"

namespace kbt {

enum class ItemKind {
  DataFile,   // its fixed name in the data folder
  Favorites,  // its fixed name in the folder a value names
  Bitmap,     // the ".bmp" file a display value names
  Queue       // the ".que" file the queue's value names ("queue.dat" in the data folder)
};

struct ClientItem {
  ItemKind kind;
  const char16_t* fileName;  // the fixed name, also the entry's; null where the value names the file
  const char16_t* key;       // the key of the value that names the file or its folder; null for none
  const char16_t* value;
};

// In the order the operations take them; the bitmaps in the order a restore writes them.
inline constexpr ClientItem kClientItems[] = {
    {ItemKind::DataFile, names::kHistoryFile, nullptr, nullptr},
    {ItemKind::DataFile, names::kCustomFile, nullptr, nullptr},
    {ItemKind::DataFile, names::kFoldersFile, nullptr, nullptr},
    {ItemKind::Favorites, names::kFavoritesFile, names::kClientKey, names::kFavoritesFolderValue},
    {ItemKind::Bitmap, nullptr, names::kDisplayKey, names::kListviewBitmapValue},
    {ItemKind::Bitmap, nullptr, names::kDisplayKey, names::kTreeviewBitmapValue},
    {ItemKind::Bitmap, nullptr, names::kDisplayKey, names::kToolbarBitmapValue},
    {ItemKind::Queue, nullptr, names::kQueueKey, names::kLastFileValue},
};
inline constexpr size_t kClientItemCount = std::size(kClientItems);

// The names of the entries a backup keeps for its settings and its fixed files, which are never a
// bitmap or a queue whatever a value names.
bool IsFixedEntryName(const Text& name);

}  // namespace kbt
