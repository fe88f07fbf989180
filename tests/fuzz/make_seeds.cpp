// Writes the seed corpora of the fuzz targets from the tool's own outputs: settings files exported
// by the settings file writer from a typical client registry, a backup made by the backup
// operation of that client and archives written by the archive writer with the backup comment,
// the hex text of the writer's value lines, and command lines.
// Usage: make_fuzz_seeds <folder>; makes <folder>/{settings_file,hex,command_line,archive}.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "fuzz/fuzz_support.h"
#include "operations/operation_request.h"
#include "platform/posix/substitute_registry.h"
#include "regfile/hex_codec.h"
#include "regfile/settings_file_writer.h"
#include "regfile/settings_key_list.h"
#include "res/non_localizable.h"

namespace {
using namespace kbt;
using platform::RegRoot;
namespace fs = std::filesystem;

void Set(const Text& key, const Text& name, uint32_t type, const std::vector<uint8_t>& data) {
  platform::RegHandle handle = 0;
  if (platform::CreateKey(RegRoot::CurrentUser, key, platform::kKeyWrite, &handle) != platform::kSuccess) {
    fuzz::Fail("cannot create a seed key");
  }
  if (platform::SetValue(handle, name, type, data.data(), static_cast<uint32_t>(data.size())) != platform::kSuccess) {
    fuzz::Fail("cannot set a seed value");
  }
  platform::CloseKey(handle);
}

std::vector<uint8_t> Utf16z(const Text& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text + u'\0') {
    bytes.push_back(static_cast<uint8_t>(c));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  return bytes;
}

// A client as it looks after some use: folders, display bitmaps, a queue, connection data with
// binary and numeric values, names with quotes and backslashes, a default value, nested keys.
void SeedClientRegistry() {
  const Text client = names::kClientKey;
  Set(client, names::kDataPathValue, platform::kRegExpandSz, Utf16z(u"%APPDATA%\\Kestrove"));
  Set(client, names::kFavoritesFolderValue, platform::kRegExpandSz, Utf16z(u"%APPDATA%\\Kestrove"));
  Set(client, u"", platform::kRegSz, Utf16z(u""));
  Set(names::kDisplayKey, names::kListviewBitmapValue, platform::kRegSz, Utf16z(u"C:\\Pictures\\list.bmp"));
  Set(names::kDisplayKey, names::kToolbarBitmapValue, platform::kRegExpandSz, Utf16z(u"%USERPROFILE%\\bar.bmp"));
  Set(names::kQueueKey, names::kLastFileValue, platform::kRegSz, Utf16z(u"C:\\Q\\my.que"));
  Set(client + u"\\Connection Data\\site \"one\"", u"Port", platform::kRegDword, {0x15, 0, 0, 0});
  Set(client + u"\\Connection Data\\site \"one\"", u"Key \\\"quoted\\\"", platform::kRegBinary, {0, 1, 0xFE, 0xFF});
  Set(client + u"\\Connection Data\\site \"one\"", u"Hosts", 7, Utf16z(u"a\0b\0"));
  Set(client + u"\\Options", u"Gr\u00fc\u00dfe", 11, {1, 2, 3, 4, 5, 6, 7, 8});
  Set(client + u"\\Options", u"=hex(name", platform::kRegNone, {});
  int index = 0;
  for (const Text& key : SettingsKeyList()) {
    Set(client + u"\\" + key.substr(key.rfind(u'\\') + 1), u"Value " + Text(1, char16_t(u'A' + index++)),
        platform::kRegSz, Utf16z(key));
  }
}

bool ExportClient(const Text& path) {
  bool ok = ExportKeyToFile(RegRoot::CurrentUser, names::kClientKey, path, false, false);
  for (const Text& key : SettingsKeyList()) ok = ExportKeyToFile(RegRoot::CurrentUser, key, path, true, true) && ok;
  return ok;
}

void WriteSeed(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::create_directories(folder);
  if (!fuzz::WriteFileBytes(FromUtf8((folder / name).string()), bytes.data(), bytes.size())) {
    fuzz::Fail("cannot write a seed");
  }
}

std::vector<uint8_t> Latin1(const Text& text) {
  std::vector<uint8_t> bytes;
  for (char16_t c : text) bytes.push_back(static_cast<uint8_t>(c));
  if (bytes.size() % 2 == 0) bytes.push_back(' ');  // odd sizes are read as Latin-1
  return bytes;
}

std::vector<uint8_t> Utf16(const Text& text) {
  std::vector<uint8_t> bytes = Utf16z(text);
  bytes.resize(bytes.size() - 2);
  return bytes;
}

struct ArchiveSeed {
  const char* name;
  std::vector<Text> entries;  // files of the scratch folder, in order
  int level;
  const char16_t* comment;  // nullptr: none
  const char16_t* password = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const fs::path out = argv[1];
  // The scratch folder may be in /dev/shm, which the native stand-in for the system's folders
  // refuses with the rest of /dev: the backup below must take the client's files from there.
  ::setenv("KBT_PROTECTED_FOLDERS", "/bin:/boot:/etc:/lib:/proc:/sbin:/sys:/usr", 1);
  fuzz::Scratch& scratch = fuzz::Scratch::Get();

  // Settings files: an empty client, then a used one.
  platform::substitute::ClearRegistry();
  const Text emptyExport = scratch / u"empty.reg";
  if (!ExportClient(emptyExport)) fuzz::Fail("export of the empty client failed");
  WriteSeed(out / "settings_file", "empty-client.reg", fuzz::ReadFileBytes(emptyExport));
  SeedClientRegistry();
  const Text settings = scratch / names::kSettingsFile;
  if (!ExportClient(settings)) fuzz::Fail("export of the client failed");
  const std::vector<uint8_t> settingsBytes = fuzz::ReadFileBytes(settings);
  WriteSeed(out / "settings_file", "client.reg", settingsBytes);

  // Hex: every value line's data as the writer wrote it, in both character forms.
  const Text body = fuzz::Utf16Le(settingsBytes.data() + 2, settingsBytes.size() - 2);
  int line = 0;
  for (size_t at = body.find(u"):"); at != Text::npos; at = body.find(u"):", at + 2)) {
    const Text data = body.substr(at + 2, body.find(u'\r', at) - at - 2);
    WriteSeed(out / "hex", "line" + std::to_string(line) + "-latin1", Latin1(data));
    WriteSeed(out / "hex", "line" + std::to_string(line++) + "-utf16", Utf16(data));
  }
  for (const Text& odd : {Text(u" 0x1F,-2,+ff,zz,,123,0X,a"), Text(u"00,00")}) {
    WriteSeed(out / "hex", "odd" + std::to_string(line++), Latin1(odd));
  }

  // Command lines.
  const Text tails[] = {u"/backup \"C:\\Documents and Settings\\Administrator\\Desktop\\Backup.zip\"",
                        u"/restore C:\\b.zip /language=0x407",
                        u"/BACKUP x.zip /restore",
                        u"/reset",
                        u"/language=02007 /? /?",
                        u"\"\"\"/backup\"x y\"z",
                        u"   /language=-2147483649 /backupx /language= 1031"};
  int tailIndex = 0;
  for (const Text& tail : tails) {
    WriteSeed(out / "command_line", "tail" + std::to_string(tailIndex) + "-latin1", Latin1(tail));
    WriteSeed(out / "command_line", "tail" + std::to_string(tailIndex++) + "-utf16", Utf16(tail));
  }

  // Archives: the backup's own entries with its comment, compressed and stored; the same name
  // twice; an archive with only the comment; one without a comment; protected ones.
  const Text files[] = {names::kHistoryFile, names::kCustomFile, names::kFoldersFile, names::kFavoritesFile,
                        u"my.que", u"list.bmp"};
  int fileIndex = 0;
  for (const Text& file : files) {
    std::vector<uint8_t> content;
    for (int i = 0; i < 300 * (fileIndex + 1); ++i) content.push_back(static_cast<uint8_t>("history\r\n"[i % 9] + fileIndex));
    if (!fuzz::WriteFileBytes(scratch / file, content.data(), content.size())) fuzz::Fail("cannot write a file");
    ++fileIndex;
  }
  const Text comment = FormatBackupComment(u"weekly", {2005, 3, 7, 9, 5, 3});
  const ArchiveSeed archives[] = {
      {"backup.zip",
       {names::kSettingsFile, names::kHistoryFile, names::kCustomFile, names::kFoldersFile, names::kFavoritesFile,
        u"my.que", u"list.bmp"},
       -1,
       comment.c_str()},
      {"stored.zip", {names::kSettingsFile, names::kFavoritesFile}, 0, comment.c_str()},
      {"twice.zip", {names::kHistoryFile, names::kHistoryFile, u"list.bmp"}, 9, nullptr},
      {"comment-only.zip", {}, -1, comment.c_str()},
      {"protected.zip", {names::kSettingsFile, names::kHistoryFile, u"list.bmp"}, -1, comment.c_str(),
       fuzz::kArchivePassword},
      {"protected-stored.zip", {names::kCustomFile}, 0, comment.c_str(), fuzz::kArchivePassword}};
  for (const ArchiveSeed& seed : archives) {
    const Text path = scratch / u"seed.zip";
    {
      BackupArchiveWriter writer;
      if (!writer.Open(path, 0)) fuzz::Fail("cannot create an archive");
      if (seed.password) writer.Password = seed.password;
      for (const Text& entry : seed.entries) {
        if (!writer.AddFile(scratch / entry, entry, seed.level)) fuzz::Fail("cannot add a file");
      }
      if (seed.comment) {
        writer.CommentText = seed.comment;
        writer.HasComment = true;
      }
      if (!writer.Close()) fuzz::Fail("cannot complete an archive");
    }
    WriteSeed(out / "archive", seed.name, fuzz::ReadFileBytes(path));
  }

  // The backup operation itself, on the client above with its data files and bitmap.
  {
    OperationRequest request(OperationMode::Backup);
    request.DataFolder = scratch.Path();
    request.FavoritesFolder = scratch.Path();
    // Kept apart from the data it saves, as every backup must be.
    request.ArchivePath = FromUtf8((out / "operation.zip").string());
    request.Comment = u"from the backup operation";
    Set(names::kDisplayKey, names::kListviewBitmapValue, platform::kRegSz, Utf16z(scratch / u"list.bmp"));
    Set(names::kQueueKey, names::kLastFileValue, platform::kRegSz, Utf16z(scratch / u"my.que"));
    if (!request.Backup(DataSelection::ApplicationData | DataSelection::Settings)) {
      for (const Text& entry : request.Log.Entries()) std::fprintf(stderr, "%s\n", ToUtf8(entry).c_str());
      fuzz::Fail("the backup failed");
    }
    WriteSeed(out / "archive", "backup-operation.zip", fuzz::ReadFileBytes(request.ArchivePath));
    std::filesystem::remove(out / "operation.zip");
  }
  std::printf("seeds written to %s\n", out.c_str());
  return 0;
}
