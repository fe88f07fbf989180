#include "operations/backup/backup_target.h"

#include "operations/client/client_items.h"
#include "operations/restore/restore_plan.h"
#include "operations/result_log.h"
#include "platform/paths.h"
#include "platform/places.h"
#include "platform/texts.h"
#include "res/non_localizable.h"
#include "res/resource.h"

namespace kbt {
using namespace platform;

Text WithArchiveExtension(const Text& path) {
  const Text name = FileNamePart(path);
  // A folder stays what it is: the backup then names it as no file it can write.
  if (name.empty() || name.find(u'.') != Text::npos || IsExistingFolder(path)) return path;
  return path + names::kArchiveExtension;
}

Text BackupTargetRefusal(const Text& archivePath, const Text& dataFolder, const Text& favoritesFolder) {
  Text target;
  // A path that cannot be resolved is left to the backup, which names the system's reason.
  if (archivePath.empty() || !ResolvePath(archivePath, target)) return Text();
  auto is = [&](const Text& path, bool orBelow) {
    Text resolved;
    return !path.empty() && ResolvePath(path, resolved) && IsSameOrBelow(target, resolved) &&
           (orBelow || IsSameOrBelow(resolved, target));
  };
  const RestoreValues today = ReadRestoreValues();
  for (size_t row = 0; row < kClientItemCount; ++row) {
    const ClientItem& item = kClientItems[row];
    Text file;
    switch (item.kind) {
      case ItemKind::DataFile: file = PathIn(dataFolder, item.fileName); break;
      case ItemKind::Favorites: file = PathIn(favoritesFolder, item.fileName); break;
      case ItemKind::Bitmap:
      case ItemKind::Queue: file = today.named[row].value_or(Text()); break;
    }
    if (is(file, false)) return FormatText(LoadText(IDS_BACKUP_OVER_CLIENT_FILE), {archivePath});
  }
  for (const Text* folder : {&dataFolder, &favoritesFolder}) {
    if (is(*folder, true)) return FormatText(LoadText(IDS_BACKUP_IN_CLIENT_FOLDER), {archivePath, *folder});
  }
  return Text();
}

}  // namespace kbt
