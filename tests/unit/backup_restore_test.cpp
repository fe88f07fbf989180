// Backup, reset and restore on a seeded profile, in both builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "archive/backup_archive.h"
#include "archive/backup_identity.h"
#include "operations/backup/backup_target.h"
#include "operations/client/client_places.h"
#include "operations/operation_request.h"
#include "operations/restore/restore_preview.h"
#include "operations/undo/undo_point.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "regfile/settings_file_reader.h"
#include "support/test_support.h"
#include "unit/settings_file_test_util.h"
#include "unit/archive_test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::ReadBytes;
using testing::ReadValue;
using testing::SeedString;
using testing::SeedValue;

class BackupRestoreTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    request.DataFolder = data.Path();
    request.FavoritesFolder = favorites.Path();
    request.ArchivePath = archives / u"backup.zip";
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Say \"hi\"", u"quoted name");
    SeedValue(u"Software\\Kestrove", u"", kRegSz, {0, 0});
    testing::SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedValue(u"Software\\Kestrove\\Transfer", u"Blob", kRegBinary, {0, 1, 2, 0xFF});
    SeedValue(u"Software\\Kestrove\\Transfer", u"Odd type", 0x4242, {9});
    SeedValue(u"Software\\Kestrove\\Transfer", u"Nothing", kRegNone, {});
    SeedValue(u"Software\\Kestrove\\Transfer", u"Multi", 7, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});
    SeedString(u"Software\\Kestrove\\Connection Data\\Site 1", u"Host", u"ftp.example.com");
    SeedString(u"Software\\Kestrove\\Client\\1.0\\Deep\\Deeper", u"a\\b", u"backslash name");
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"my.que", kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Display", u"Listview Bitmap", bitmaps / u"list.bmp");
    SeedString(u"Software\\Kestrove\\Display", u"Toolbar Bitmap", bitmaps / u"missing.bmp");
    const std::vector<uint8_t> big(300000, 0x5A);
    testing::WriteBytes(data / u"history.dat", big);
    testing::WriteText(data / u"custom.dat", "custom");
    testing::WriteBytes(data / u"folders.dat", {});
    testing::WriteText(favorites / u"favorites.dat", "favorites");
    testing::WriteText(queue / u"my.que", "queue");
    testing::WriteText(bitmaps / u"list.bmp", "BM");
  }

  testing::ScratchFolder data, favorites, queue, bitmaps, archives;
  OperationRequest request{OperationMode::Backup};
};

TEST_F(BackupRestoreTest, FullCycleBringsEverythingBack) {
  ASSERT_EQ(RegistryKey().Create(RegRoot::CurrentUser, u"Software\\Kestrove\\Connection Data\\Empty Site", kKeyWrite),
            kSuccess);
  const auto before = testing::ClientSettingsSnapshot();
  const auto history = ReadBytes(data / u"history.dat");
  request.ResetAfterBackup = true;
  ASSERT_TRUE(request.Run()) << (request.Log.Size() ? ToUtf8(request.Log.Entries()[0]) : "");
  EXPECT_EQ(request.Log.Size(), 0u);
  EXPECT_TRUE(request.Summary.archiveWritten);
  EXPECT_EQ(request.Summary.archiveBytes, ReadBytes(request.ArchivePath).size());
  EXPECT_TRUE(request.Summary.resetAfterBackup);
  EXPECT_FALSE(FileExists(data / u"history.dat")) << "the reset after the backup ran";
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove\\Transfer"));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists);
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Backup Timestamp").data.size(), 8u);

  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(request.ArchivePath, identity));
  EXPECT_EQ(identity.comment, u"");

  request.SetMode(OperationMode::Restore);
  ASSERT_TRUE(request.Run()) << (request.Log.Size() ? ToUtf8(request.Log.Entries()[0]) : "");
  EXPECT_FALSE(request.Summary.archiveWritten) << "each run tells its own";
  EXPECT_EQ(request.Summary.restoredValues, 14u) << "every value seeded";
  EXPECT_EQ(request.Summary.restoredFiles, 6u) << "five data files and the bitmap";
  // The reset leaves the bitmap, which still holds the entry's bytes: it stays where it is.
  EXPECT_EQ(testing::ClientSettingsSnapshot(), before);
  EXPECT_FALSE(FileExists(data / u"list.bmp"));
  EXPECT_TRUE(testing::KeyExists(u"Software\\Kestrove\\Connection Data\\Empty Site")) << "an empty key comes back";
  EXPECT_EQ(ReadBytes(data / u"history.dat"), history);
  EXPECT_EQ(ReadBytes(data / u"custom.dat"), std::vector<uint8_t>({'c', 'u', 's', 't', 'o', 'm'}));
  EXPECT_TRUE(FileExists(data / u"folders.dat"));
  EXPECT_EQ(ReadBytes(favorites / u"favorites.dat").size(), 9u);
  EXPECT_EQ(ReadBytes(queue / u"my.que").size(), 5u);
  EXPECT_EQ(ReadBytes(bitmaps / u"list.bmp").size(), 2u);
}

TEST_F(BackupRestoreTest, ArchiveHoldsTheEntriesInOrderWithTheComment) {
  request.Comment = u"weekly";
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(request.ArchivePath));
  for (const char16_t* name : {u"settings.reg", u"list.bmp", u"history.dat", u"custom.dat", u"folders.dat",
                               u"favorites.dat", u"my.que"}) {
    EXPECT_TRUE(reader.LocateEntry(name, false)) << ToUtf8(name);
  }
  EXPECT_FALSE(reader.LocateEntry(u"missing.bmp", true)) << "a bitmap whose file is missing is skipped";
  Text comment;
  ASSERT_TRUE(reader.ReadGlobalComment(comment));
  EXPECT_EQ(comment.substr(0, 35), u"Kestrove Client Backup File\nweekly\n");
  EXPECT_EQ(comment.size(), 35u + 21u);
}

TEST_F(BackupRestoreTest, ProgressRunsOnceOverTheWholeBackup) {
  std::vector<Text> files;
  std::vector<uint64_t> done, totals;
  request.Progress = [&](const Text& file, uint64_t bytes, uint64_t total) {
    if (files.empty() || files.back() != file) files.push_back(file);
    done.push_back(bytes);
    totals.push_back(total);
    return true;
  };
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  ASSERT_GE(files.size(), 7u) << "the settings, the bitmap and five data files";
  EXPECT_EQ(std::count(totals.begin(), totals.end(), totals.front()), static_cast<long>(totals.size())) << "one total";
  EXPECT_GT(totals.front(), 300000u);
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end())) << "never back between files";
  EXPECT_LE(done.back(), totals.front());
  EXPECT_GE(done.back(), 300000u) << "the last file starts after all the others";
}

TEST_F(BackupRestoreTest, SelectionZeroWritesOnlyTheComment) {
  ASSERT_TRUE(request.Backup(0));
  EXPECT_EQ(request.Log.Size(), 0u);
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(request.ArchivePath));
  EXPECT_FALSE(reader.LocateEntry(u"settings.reg", true));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists);
}

TEST_F(BackupRestoreTest, ABackupThatCannotBeCreatedFailsWithoutResetOrRecord) {
  request.ArchivePath = archives / u"no-such-folder";
  AppendPath(request.ArchivePath, u"b.zip");
  request.ResetAfterBackup = true;
  EXPECT_FALSE(request.Run());
  ASSERT_EQ(request.Log.Size(), 1u);
  // The system's reason follows: here that the folder is not there.
  const Text message = u"Failed to create the backup file \"" + request.ArchivePath + u"\". ";
  EXPECT_EQ(request.Log.Entries()[0].rfind(message, 0), 0u);
  EXPECT_GT(request.Log.Entries()[0].size(), message.size());
  EXPECT_TRUE(FileExists(data / u"history.dat")) << "no reset after a failed backup";
  EXPECT_FALSE(testing::KeyExists(u"Software\\Kestrove\\Backup\\1.0"));
}

TEST_F(BackupRestoreTest, RestoreFromAMissingArchiveFails) {
  request.ArchivePath = archives / u"absent.zip";
  request.SetMode(OperationMode::Restore);
  EXPECT_FALSE(request.Run());
  ASSERT_EQ(request.Log.Size(), 1u);
  EXPECT_EQ(request.Log.Entries()[0],
            u"Failed to open the backup file \"" + request.ArchivePath + u"\". " + ErrorText(kFileNotFound));
}

TEST_F(BackupRestoreTest, RestoreFallsBackToTheDataFolderForUnwritableFolders) {
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  ASSERT_TRUE(request.Reset(3));
  // On this machine the queue and favorites folders are recorded in places that cannot be written.
  SeedString(u"Software\\Kestrove\\Queue", u"Last File", Text(u"relative") + kPathSeparator + u"my.que", kRegExpandSz);
  SeedString(u"Software\\Kestrove", u"Favorites Folder", u"%NOT_EXPANDED%", kRegExpandSz);
  ASSERT_TRUE(request.Restore(DataSelection::ApplicationData));
  EXPECT_TRUE(FileExists(data / u"queue.dat"));
  EXPECT_TRUE(FileExists(data / u"favorites.dat"));
  const auto lastFile = ReadValue(u"Software\\Kestrove\\Queue", u"Last File");
  EXPECT_EQ(lastFile.type, kRegExpandSz);
  EXPECT_EQ(lastFile.data, testing::StringBytes(data / u"queue.dat"));
  EXPECT_EQ(ReadValue(u"Software\\Kestrove", u"Favorites Folder").data, testing::StringBytes(data.Path()));
}

// Only a queue file is ever a queue: a value naming a data file's name neither goes into the
// archive nor takes a data file's entry on restore, whether that data file exists or not.
TEST_F(BackupRestoreTest, AQueueNamedLikeAFixedFileNeverTakesItsEntry) {
  testing::WriteText(queue / u"history.dat", "the queue");
  for (const char16_t* fixed : {u"history.dat", u"folders.dat"}) {
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / fixed, kRegExpandSz);
    ASSERT_TRUE(request.Backup(request.GetSelection())) << ToUtf8(fixed);
    static_cast<void>(RemoveFile(queue / fixed));  // folders.dat never existed
    ASSERT_TRUE(RemoveFile(data / u"history.dat"));
    ASSERT_TRUE(request.Restore(DataSelection::ApplicationData));
    EXPECT_EQ(ReadBytes(data / u"history.dat").size(), 300000u) << ToUtf8(fixed);
    EXPECT_FALSE(FileExists(queue / fixed)) << ToUtf8(fixed);
  }
}

TEST_F(BackupRestoreTest, RestoreWithoutSettingsEntryStillWritesTheFolders) {
  ASSERT_TRUE(request.Backup(DataSelection::ApplicationData));
  SeedString(u"Software\\Kestrove", u"Data Path", u"elsewhere", kRegSz);
  ASSERT_TRUE(request.Restore(DataSelection::Settings));
  const auto dataPath = ReadValue(u"Software\\Kestrove", u"Data Path");
  EXPECT_EQ(dataPath.type, kRegExpandSz);
  EXPECT_EQ(dataPath.data, testing::StringBytes(data.Path()));
}

// The check tells where a restore would put each file, from the archive's own settings, changes
// nothing meanwhile, and the restore then puts every file exactly there.
TEST_F(BackupRestoreTest, VerifyForetellsTheRestoreAndChangesNothing) {
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  // This machine's registry names another queue now: my.que, which the archive's settings bring
  // back, is no longer the client's, so its entry goes to the data folder.
  SeedString(u"Software\\Kestrove\\Queue", u"Last File", bitmaps / u"other.que", kRegExpandSz);
  // This machine keeps its favorites elsewhere than the machine that made the backup.
  testing::ScratchFolder favoritesHere;
  request.FavoritesFolder = favoritesHere.Path();
  ASSERT_TRUE(RemoveFile(data / u"history.dat"));
  const testing::RegistrySnapshot registryBefore = testing::SnapshotKey(u"Software");
  const std::vector<Text> filesBefore[] = {testing::ListFolder(data.Path()), testing::ListFolder(queue.Path())};

  request.SetMode(OperationMode::Verify);
  ASSERT_TRUE(request.Run()) << (request.Log.Size() ? ToUtf8(request.Log.Entries()[0]) : "");
  const VerifyReport& report = request.Verification;
  EXPECT_EQ(report.state, ArchiveState::Sound);
  EXPECT_EQ(testing::SnapshotKey(u"Software"), registryBefore);
  EXPECT_EQ(testing::ListFolder(data.Path()), filesBefore[0]);
  EXPECT_EQ(testing::ListFolder(queue.Path()), filesBefore[1]);

  std::vector<std::pair<Text, Text>> destinations;  // entry, path
  for (const Text& line : report.lines) {
    if (line.rfind(u"destination\t", 0) != 0) continue;
    const size_t entry = line.find(u'\t') + 1, path = line.find(u'\t', entry) + 1;
    destinations.emplace_back(line.substr(entry, path - entry - 1), line.substr(path, line.find(u'\t', path) - path));
  }
  const std::vector<std::pair<Text, Text>> expected = {
      {u"list.bmp", bitmaps / u"list.bmp"},   {u"history.dat", data / u"history.dat"},
      {u"custom.dat", data / u"custom.dat"},  {u"folders.dat", data / u"folders.dat"},
      {u"favorites.dat", favoritesHere / u"favorites.dat"}, {u"my.que", data / u"queue.dat"}};
  EXPECT_EQ(destinations, expected);
  EXPECT_EQ(report.lines.back(), u"result\tok");

  request.SetMode(OperationMode::Restore);
  ASSERT_TRUE(request.Run());
  for (const auto& [entry, path] : destinations) EXPECT_TRUE(FileExists(path)) << ToUtf8(path);
}

// Archives the check refuses by their directory alone: two entries a restore could confuse, and a
// settings entry whose declared size is beyond the limit (refused before any byte is extracted,
// so the limit is named rather than a damaged entry).
TEST_F(BackupRestoreTest, VerifyNamesCollidingEntriesAndSettingsDeclaredTooLarge) {
  const Text settings = archives / u"settings.reg";
  ASSERT_TRUE(testing::WriteBytes(settings, testing::Utf16FileBytes(u"Windows Registry Editor Version 5.00\r\n")));
  const struct Case {
    std::vector<Text> entries;
    bool declareHuge;
    const char16_t* problem;
  } cases[] = {{{u"history.dat", u"History.dat"}, false, u"is in the backup file more than once"},
               {{u"settings.reg"}, true, u"larger than 256 MB"}};
  for (const Case& c : cases) {
    {
      BackupArchiveWriter writer;
      ASSERT_TRUE(writer.Open(request.ArchivePath, 0));
      for (const Text& entry : c.entries) ASSERT_TRUE(writer.AddFile(settings, entry, -1));
      writer.CommentText = FormatBackupComment(u"", {2005, 3, 7, 9, 5, 3});
      writer.HasComment = true;
    }
    if (c.declareHuge) {
      std::vector<uint8_t> bytes = ReadBytes(request.ArchivePath);
      const uint8_t central[] = {'P', 'K', 1, 2};
      const auto header = std::search(bytes.begin(), bytes.end(), std::begin(central), std::end(central));
      ASSERT_NE(header, bytes.end());
      header[24 + 3] = 0x20;  // the uncompressed size: 512 MiB
      ASSERT_TRUE(testing::WriteBytes(request.ArchivePath, bytes));
    }
    request.SetMode(OperationMode::Verify);
    EXPECT_FALSE(request.Run());
    const std::vector<Text>& problems = request.Verification.problems;
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const Text& p) { return p.find(c.problem) != Text::npos; }))
        << ToUtf8(c.problem) << " in " << (problems.empty() ? "" : ToUtf8(problems[0]));
  }
}

// The settings pass through a temporary file of the tool's own name: a user's "settings.reg" in
// the temporary folder is neither overwritten nor deleted.
TEST_F(BackupRestoreTest, AUsersSettingsFileInTheTemporaryFolderIsLeftAlone) {
  Text mine;
  ASSERT_TRUE(GetTempFolder(mine));
  AppendPath(mine, u"settings.reg");
  ASSERT_TRUE(testing::WriteText(mine, "mine"));
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  ASSERT_TRUE(request.Restore(request.GetSelection()));
  EXPECT_EQ(ReadBytes(mine), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(RemoveFile(mine));
}

// A value beyond the restore's limits: the check names the limit in the words the restore then uses.
TEST_F(BackupRestoreTest, VerifyAndRestoreRefuseSettingsBeyondALimitAlike) {
  testing::SeedValue(u"Software\\Kestrove\\Transfer", u"Huge", kRegBinary, std::vector<uint8_t>(kSettingsLimits.valueBytes + 1, 7));
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  request.SetMode(OperationMode::Verify);
  EXPECT_FALSE(request.Run());
  ASSERT_EQ(request.Verification.problems.size(), 1u);
  const Text problem = request.Verification.problems[0];
  EXPECT_NE(problem.find(u"larger than 2 MB"), Text::npos) << ToUtf8(problem);
  request.SetMode(OperationMode::Restore);
  EXPECT_FALSE(request.Run());
  EXPECT_EQ(request.Log.Entries().at(0), problem);
}

// A settings file the restore refuses: the check and the restore name the line and the reason in
// the same words, and nothing of the file is applied.
TEST_F(BackupRestoreTest, VerifyAndRestoreNameTheLineOfARefusedSettingsFile) {
  const Text settings = archives / u"settings.reg";
  ASSERT_TRUE(testing::WriteBytes(settings, testing::Utf16FileBytes(
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrove\\Transfer]\r\n"
      u"\"Retries\"=dword:00000009\r\n\"Blob\"=-\r\n")));
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(request.ArchivePath, 0));
    ASSERT_TRUE(writer.AddFile(settings, u"settings.reg", -1));
    writer.CommentText = FormatBackupComment(u"", {2005, 3, 7, 9, 5, 3});
    writer.HasComment = true;
  }
  request.SetMode(OperationMode::Verify);
  EXPECT_FALSE(request.Run());
  const Text problem = request.Verification.problems.at(0);
  EXPECT_NE(problem.find(u"settings.reg, line 5:"), Text::npos) << ToUtf8(problem);
  const size_t logged = request.Log.Size();  // the check's own report may be logged too
  request.SetMode(OperationMode::Restore);
  EXPECT_FALSE(request.Restore(DataSelection::Settings));
  EXPECT_EQ(request.Log.Entries().at(logged), problem);
  EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Transfer", u"Retries").data, (std::vector<uint8_t>{3, 0, 0, 0}));
}

// The restore used to create the data folder first, and then restored the entries before the damage.
TEST_F(BackupRestoreTest, ADamagedDirectoryFailsTheRestoreBeforeAnythingChanges) {
  ASSERT_TRUE(request.Backup(request.GetSelection()));
  std::vector<uint8_t> bytes = ReadBytes(request.ArchivePath);
  const uint8_t central[] = {'P', 'K', 1, 2};
  auto third = bytes.begin();
  for (int i = 0; i < 3; ++i) third = std::search(third + (i ? 4 : 0), bytes.end(), std::begin(central), std::end(central));
  ASSERT_NE(third, bytes.end());
  third[3] = 0;
  ASSERT_TRUE(testing::WriteBytes(request.ArchivePath, bytes));
  SeedString(u"Software\\Kestrove\\Transfer", u"Retries", u"changed since the backup");
  ASSERT_TRUE(RemoveFile(data / u"custom.dat"));
  const auto before = testing::ClientSettingsSnapshot();
  request.DataFolder = data / u"not yet there";

  EXPECT_FALSE(request.Restore(request.GetSelection()));
  ASSERT_EQ(request.Log.Size(), 1u);
  EXPECT_EQ(request.Log.Entries()[0], u"The backup file \"" + request.ArchivePath + u"\" is damaged.");
  EXPECT_FALSE(IsExistingFolder(request.DataFolder));
  EXPECT_FALSE(FileExists(data / u"custom.dat"));
  EXPECT_EQ(testing::ClientSettingsSnapshot(), before);
}

}  // namespace
}  // namespace kbt

namespace kbt {
namespace {

// What the preview says is what the restore then changes: values by type and bytes, files by bytes.
TEST_F(BackupRestoreTest, PreviewTellsWhatTheRestoreWillChange) {
  ASSERT_TRUE(request.Run());
  testing::SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 4);                       // changed: bytes
  SeedValue(u"Software\\Kestrove\\Transfer", u"Blob", kRegNone, {0, 1, 2, 0xFF});          // changed: type
  testing::DeleteKey(u"Software\\Kestrove\\Connection Data");                               // added
  testing::WriteText(data / u"custom.dat", "custom, changed today");                         // replaced
  ASSERT_TRUE(RemoveFile(favorites / u"favorites.dat"));                                    // new
  RestorePreview preview;
  ASSERT_TRUE(PreviewRestore(request.ArchivePath, data.Path(), favorites.Path(),
                             DataSelection::Settings | DataSelection::ApplicationData, preview));
  EXPECT_TRUE(preview.problems.empty());
  EXPECT_EQ(preview.changedValues, 2u);
  EXPECT_EQ(preview.addedValues, 1u);
  std::vector<std::pair<Text, bool>> settings;
  for (const SettingChange& change : preview.settings) settings.emplace_back(change.name, change.added);
  std::sort(settings.begin(), settings.end());
  EXPECT_EQ(settings, (std::vector<std::pair<Text, bool>>{{u"Blob", false}, {u"Host", true}, {u"Retries", false}}));
  ASSERT_EQ(preview.files.size(), 2u) << "the files holding the backup's bytes stay";
  EXPECT_EQ(preview.replacedFiles, 1u);
  EXPECT_EQ(preview.addedFiles, 1u);
  const FileChange& custom = preview.files[0].replaced ? preview.files[0] : preview.files[1];
  EXPECT_EQ(custom.destination, data / u"custom.dat");
  EXPECT_EQ(custom.sizeNow, 21u);
  EXPECT_EQ(custom.sizeInArchive, 6u);
  EXPECT_NE(custom.dosTimeInArchive, 0u);
  EXPECT_FALSE(custom.moved);
  EXPECT_EQ(preview.created.size(), 20u) << "the backup is named with its time";
  // A file here that is newer than the backup's copy is told; an older one is not.
  constexpr uint32_t kOneDay = 1u << 16;
  for (const uint32_t shift : {kOneDay, 0u - kOneDay}) {
    ASSERT_TRUE(SetFileTimesFromDos(data / u"custom.dat", custom.dosTimeInArchive + shift));
    RestorePreview again;
    ASSERT_TRUE(PreviewRestore(request.ArchivePath, data.Path(), favorites.Path(), DataSelection::ApplicationData, again));
    const bool newer = shift == kOneDay;
    EXPECT_EQ(again.newerFiles, newer ? 1u : 0u);
    for (const FileChange& change : again.files) EXPECT_EQ(change.newerNow, newer && change.replaced);
  }
  // A favorites folder that takes no files: the file goes to the data folder instead.
  ASSERT_TRUE(testing::WriteText(data / u"blocked", "a file"));
  SeedString(u"Software\\Kestrove", u"Favorites Folder", data / u"blocked", kRegExpandSz);
  RestorePreview moved;
  ASSERT_TRUE(PreviewRestore(request.ArchivePath, data.Path(), data / u"blocked", DataSelection::ApplicationData, moved));
  EXPECT_EQ(moved.movedFiles, 1u);
  EXPECT_EQ(moved.settings.size(), 0u) << "no settings selected";
}

}  // namespace
}  // namespace kbt

namespace kbt {
namespace {

// A restore writes a file only when its bytes differ from the entry's, and never takes over a file
// the client does not name today. The preview, the check and the restore say the same of each file.
TEST_F(BackupRestoreTest, RestoreWritesOnlyFilesWhoseBytesDiffer) {
  ASSERT_TRUE(request.Run());
  // The same length and CRC as "custom", other bytes: only the bytes themselves tell them apart.
  std::vector<uint8_t> sameCrc = {'c', 'u', 's', 't', 'o', 'm'};
  for (size_t i = 0; i < 5; ++i) sameCrc[i] ^= std::vector<uint8_t>{0x41, 0x06, 0x71, 0xDB, 0x01}[i];
  const struct Case {
    const char* what;
    std::function<void()> arrange;
    Text path;      // the file the case is about
    bool written;   // rewritten by the restore, listed by the preview, kept by the undo point
    Text landsAt;   // where the entry is then
  } cases[] = {
      {"the backup's bytes", [] {}, data / u"history.dat", false, data / u"history.dat"},
      {"other bytes", [&] { testing::WriteText(data / u"custom.dat", "edited"); }, data / u"custom.dat", true,
       data / u"custom.dat"},
      {"the declared size and CRC, other bytes", [&] { testing::WriteBytes(data / u"custom.dat", sameCrc); },
       data / u"custom.dat", true, data / u"custom.dat"},
      // The backup's own queue, but the client names another one today: not the client's any more.
      {"a file the client no longer names, with the backup's bytes",
       [&] { SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"other.que", kRegExpandSz); },
       queue / u"my.que", false, data / u"queue.dat"},
  };
  auto entryBytes = [&](const Text& name) {
    BackupArchiveReader archive;
    const Text out = archives / u"entry";
    EXPECT_TRUE(archive.Open(request.ArchivePath) && archive.LocateEntry(name, false) && archive.ExtractCurrentEntry(out));
    return ReadBytes(out);
  };
  for (const Case& c : cases) {
    c.arrange();
    const std::vector<uint8_t> before = ReadBytes(c.path);
    uint32_t old = 0x2A210000;  // 2001-01-01, long before the backup
    ASSERT_TRUE(SetFileTimesFromDos(c.path, old)) << c.what;

    RestorePreview preview;
    ASSERT_TRUE(PreviewRestore(request.ArchivePath, data.Path(), favorites.Path(), request.GetSelection(), preview));
    const bool previewed = std::any_of(preview.files.begin(), preview.files.end(),
                                       [&](const FileChange& f) { return f.destination == c.path; });
    EXPECT_EQ(previewed, c.written) << c.what;
    request.SetMode(OperationMode::Verify);
    ASSERT_TRUE(request.Run()) << c.what;
    const bool toldUnchanged = std::any_of(request.Verification.lines.begin(), request.Verification.lines.end(),
        [&](const Text& line) { return line.find(u'\t' + c.path + u"\tunchanged") != Text::npos; });
    EXPECT_EQ(toldUnchanged, !c.written && c.landsAt == c.path) << c.what;

    request.SetMode(OperationMode::Restore);
    ASSERT_TRUE(request.Run()) << c.what << ": " << (request.Log.Size() ? ToUtf8(request.Log.Entries()[0]) : "");
    ASSERT_TRUE(GetLastWriteDosTime(c.path, &old)) << c.what;
    EXPECT_EQ(old != 0x2A210000, c.written) << c.what << ": rewritten";
    UndoPoint point;
    ASSERT_TRUE(point.Open(request.UndoPointPath, ClientPlaces(request.DataFolder))) << c.what;
    const std::vector<Text>& kept = point.Changes().Files();
    EXPECT_EQ(std::count(kept.begin(), kept.end(), c.path), c.written ? 1 : 0) << c.what << ": in the undo point";
    if (c.landsAt != c.path) {
      EXPECT_EQ(ReadBytes(c.path), before) << c.what << ": left as it was";
      EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Queue", u"Last File").data, testing::StringBytes(c.landsAt)) << c.what;
    }
    EXPECT_EQ(ReadBytes(c.landsAt), entryBytes(FileNamePart(c.path))) << c.what;
  }
}

}  // namespace
}  // namespace kbt

namespace kbt {
namespace {

// Where a backup may go, as the command line and the wizard both learn it from the backup: never
// over a file it backs up nor into the client's folders; an earlier archive is replaced; a name
// without an extension gets ".zip".
TEST_F(BackupRestoreTest, ABackupGoesOnlyWhereItTakesNothingOfTheClients) {
  testing::WriteText(archives / u"earlier.zip", "an earlier archive");
  const struct Case {
    Text target;
    const char16_t* refusal;  // the message after the path, or null: the backup is written
    Text writtenAs;
  } cases[] = {
      {data / u"history.dat", u"is one of the files this tool backs up", {}},
      {bitmaps / u"list.bmp", u"is one of the files this tool backs up", {}},
      {queue / u"my.que", u"is one of the files this tool backs up", {}},
      {data / u"backup.zip", u"lies in the Kestrove Client's data or favorites folder", {}},
      {favorites / u"b.zip", u"lies in the Kestrove Client's data or favorites folder", {}},
      {archives / u"earlier.zip", nullptr, archives / u"earlier.zip"},
      {archives / u"weekly", nullptr, archives / u"weekly.zip"},
      {archives.Path(), u"", {}},  // a folder gets no ".zip": the backup says it cannot write there
  };
  for (const Case& c : cases) {
    const bool existed = FileExists(c.target);
    const std::vector<uint8_t> before = existed ? ReadBytes(c.target) : std::vector<uint8_t>();
    OperationRequest backup(OperationMode::Backup);
    backup.DataFolder = data.Path();
    backup.FavoritesFolder = favorites.Path();
    backup.ArchivePath = c.target;
    const bool done = backup.Run();
    if (c.refusal) {
      EXPECT_FALSE(done) << ToUtf8(c.target);
      ASSERT_EQ(backup.Log.Size(), 1u) << ToUtf8(c.target);
      // The message names the path as given.
      EXPECT_NE(backup.Log.Entries()[0].find(u"\"" + c.target + u"\"" + (*c.refusal ? u" " : u"") + c.refusal),
                Text::npos)
          << ToUtf8(backup.Log.Entries()[0]);
      EXPECT_EQ(FileExists(c.target), existed) << ToUtf8(c.target);
      EXPECT_FALSE(FileExists(c.target + u".zip")) << ToUtf8(c.target);
      EXPECT_EQ(existed ? ReadBytes(c.target) : before, before) << ToUtf8(c.target);
    } else {
      EXPECT_TRUE(done) << ToUtf8(c.target) << (backup.Log.Size() ? ToUtf8(backup.Log.Entries()[0]) : "");
      BackupIdentity identity;
      EXPECT_TRUE(ReadBackupIdentity(c.writtenAs, identity)) << ToUtf8(c.writtenAs);
      EXPECT_EQ(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").data, testing::StringBytes(c.writtenAs));
    }
  }
}

}  // namespace
}  // namespace kbt
