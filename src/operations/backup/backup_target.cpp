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

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Where the names begin: after "\\?\", a drive ("C:") and the separator after it.
size_t RootLength(const Text& path) {
  size_t at = 0;
  if (path.size() >= 4 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] == u'?' && IsSeparator(path[3])) at = 4;
  if (path.size() >= at + 2 && path[at + 1] == u':' &&
      ((path[at] >= u'A' && path[at] <= u'Z') || (path[at] >= u'a' && path[at] <= u'z'))) {
    at += 2;
  }
  return at;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, with any extension and trailing blanks.
bool IsDeviceName(const Text& name) {
  Text base = LowerAsciiText(name.substr(0, name.find(u'.')));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  if (base == u"con" || base == u"prn" || base == u"aux" || base == u"nul") return true;
  return base.size() == 4 && (base.compare(0, 3, u"com") == 0 || base.compare(0, 3, u"lpt") == 0) && base[3] >= u'1' &&
         base[3] <= u'9';
}

}  // namespace

Text ArchiveNameProblem(const Text& path) {
  static constexpr char16_t kForbidden[] = u"<>:\"|?*";
  size_t start = RootLength(path);
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    const Text name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty() || name == u"." || name == u"..") continue;
    for (char16_t c : name) {
      if (c < u' ' || Text(kForbidden).find(c) != Text::npos) {
        // A control character is named by its code, which shows nothing when written as it is.
        static constexpr char16_t kHex[] = u"0123456789ABCDEF";
        const Text shown = c < u' ' ? Text(u"U+00") + kHex[c >> 4] + kHex[c & 15] : Text(1, c);
        return FormatText(LoadText(IDS_NAME_BAD_CHARACTER), {name, shown});
      }
    }
    if (IsDeviceName(name)) return FormatText(LoadText(IDS_NAME_RESERVED), {name});
    if (name.back() == u'.' || name.back() == u' ') return FormatText(LoadText(IDS_NAME_TRAILING), {name});
  }
  return Text();
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
