#include "operations/restore/archive_password.h"

#include <algorithm>
#include <string>

#include "platform/files.h"
#include "operations/result_log.h"
#include "platform/texts.h"
#include "res/resource.h"

namespace kbt {

bool UnlockArchive(BackupArchiveReader& archive, const Text& archivePath, const Text& password, Text& problem) {
  switch (archive.Protection()) {
    case ArchiveProtection::Plain: return true;
    case ArchiveProtection::Unreadable:
      problem = FormatText(platform::LoadText(IDS_ARCHIVE_DAMAGED), {archivePath});
      return false;
    case ArchiveProtection::Mixed:
      problem = FormatText(platform::LoadText(IDS_ARCHIVE_MIXED_ENCRYPTION), {archivePath});
      return false;
    case ArchiveProtection::Protected: break;
  }
  if (password.empty()) {
    problem = FormatText(platform::LoadText(IDS_ARCHIVE_PROTECTED), {archivePath});
    return false;
  }
  archive.SetPassword(password);
  switch (archive.CheckPassword()) {
    case EntryProblem::None: return true;
    case EntryProblem::PasswordNeeded: problem = FormatText(platform::LoadText(IDS_ARCHIVE_PROTECTED), {archivePath}); break;
    case EntryProblem::WrongPassword: problem = platform::LoadText(IDS_PASSWORD_WRONG); break;
    case EntryProblem::Unsupported:
      problem = FormatText(platform::LoadText(IDS_ARCHIVE_ENCRYPTION_UNSUPPORTED), {archivePath});
      break;
    case EntryProblem::Damaged: problem = FormatText(platform::LoadText(IDS_ARCHIVE_DAMAGED), {archivePath}); break;
  }
  return false;
}

bool ReadPasswordFile(const Text& path, Text& password) {
  // Longer first lines are no password anyone types.
  constexpr size_t kLongestLine = 4096;
  platform::File file;
  if (path.empty() || !file.Open(path, platform::FileMode::ReadShared)) return false;
  std::string bytes(kLongestLine + 3, '\0');
  size_t filled = 0;
  for (size_t got = 1; got != 0 && filled < bytes.size(); filled += got) {
    if (!file.Read(&bytes[filled], bytes.size() - filled, &got)) return false;
  }
  bytes.resize(filled);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  const size_t end = bytes.find_first_of("\r\n");
  if (end == std::string::npos && bytes.size() > kLongestLine) return false;
  bytes.resize(std::min(end, bytes.size()));
  password = FromUtf8(bytes);
  return !password.empty();
}

}  // namespace kbt
