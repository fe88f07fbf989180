// Temporary files named by the tool, the leftovers of a killed run, and folders longer than the
// shell's path functions take.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "archive/backup_archive.h"
#include "archive/directory_path.h"
#include "archive_test_support.h"
#include "operations/client/file_checks.h"
#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::ListFolder;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;

const Text kLeftover = u"~kbt00000000deadbeef.tmp";
// Names a user or another program may have: never taken for ours.
const std::vector<Text> kForeign = {u"kbt1A2B.tmp", u"~kbt-notes.tmp", u"~kbt00000000deadbeef.tmp.txt",
                                    u"~kbt00000000deadbeeg.tmp", u"~kbt0000000deadbeef.tmp"};

// Grows folder with components of 30 units and creates it, until it is at least `length` long.
Text LongFolder(Text folder, size_t length) {
  while (folder.size() < length) AppendPath(folder, Text(30, u'l'));
  EXPECT_EQ(CreateDirectoryPath(folder), kSuccess) << folder.size();
  return folder;
}

bool ExtractHistory(const Text& destination) {
  ScratchFolder sources;
  const Text archive = sources / u"a.zip";
  EXPECT_TRUE(WriteBytes(sources / u"history.dat", {'h'}));
  BackupArchiveWriter writer;
  if (!writer.Open(archive, 0) || !writer.AddFile(sources / u"history.dat", u"history.dat", -1) || !writer.Close())
    return false;
  BackupArchiveReader reader;
  return reader.Open(archive) && reader.LocateEntry(u"history.dat", false) && reader.ExtractCurrentEntry(destination) &&
         ReadBytes(destination) == std::vector<uint8_t>{'h'};
}

TEST(TempFilesTest, NamesFollowOnePatternAndNeverRepeat) {
  ScratchFolder folder;
  std::set<Text> names;
  for (int i = 0; i < 20; ++i) {
    Text path;
    File file;
    ASSERT_TRUE(CreateTempFile(folder.Path(), path, file));
    EXPECT_TRUE(file.Write("x", 1)) << "handed over open for writing";
    EXPECT_TRUE(IsTempFileName(FileNamePart(path))) << ToUtf8(path);
    names.insert(FileNamePart(path));
  }
  EXPECT_EQ(names.size(), 20u);
  EXPECT_TRUE(IsTempFileName(u"~KBT0123456789ABCDEF.TMP")) << "Windows names ignore case";
  for (const Text& name : kForeign) EXPECT_FALSE(IsTempFileName(name)) << ToUtf8(name);
  Text path;
  File file;
  EXPECT_FALSE(CreateTempFile(folder / u"missing", path, file));
  EXPECT_FALSE(CreateTempFile(u"", path, file));
}

class LeftoverTest : public testing::ClientRegistryTest {};

// Every place that makes a temporary file, run once over what a killed run left in its folder.
TEST_F(LeftoverTest, TheNextRunThatWritesIntoTheFolderRemovesThem) {
  const std::vector<std::pair<const char*, std::function<bool(const Text&)>>> writers = {
      {"extraction", [](const Text& folder) { return ExtractHistory(folder + kPathSeparator + u"history.dat"); }},
      {"writable-folder probe", [](const Text& folder) { return IsWritableFolder(folder); }},
      {"pending backup archive",
       [](const Text& folder) {
         ScratchFolder data;
         OperationRequest request(OperationMode::Backup);
         request.DataFolder = data.Path();
         request.FavoritesFolder = data.Path();
         request.ArchivePath = folder + kPathSeparator + u"backup.zip";
         return request.Backup(DataSelection::ApplicationData);
       }},
  };
  for (const auto& [writer, run] : writers) {
    ScratchFolder folder;
    ASSERT_TRUE(WriteBytes(folder / kLeftover, std::vector<uint8_t>(5000, 'p')));
    for (const Text& name : kForeign) ASSERT_TRUE(WriteBytes(folder / name, {'f'}));
    EXPECT_TRUE(run(folder.Path())) << writer;
    std::vector<Text> left = ListFolder(folder.Path());
    EXPECT_EQ(std::count(left.begin(), left.end(), kLeftover), 0) << writer;
    for (const Text& name : kForeign) EXPECT_EQ(std::count(left.begin(), left.end(), name), 1) << writer;
    EXPECT_TRUE(std::none_of(left.begin(), left.end(), IsTempFileName)) << writer << ": its own file stays behind";
  }
}

#ifdef _WIN32
// Another run of the tool still writes its file: Windows refuses to delete a file held open.
TEST(TempFilesTest, AFileARunningToolHoldsIsLeftAlone) {
  ScratchFolder folder;
  ASSERT_TRUE(WriteBytes(folder / kLeftover, {'b', 'u', 's', 'y'}));
  File held;
  ASSERT_TRUE(held.Open(folder / kLeftover, FileMode::ReadShared));
  EXPECT_TRUE(IsWritableFolder(folder.Path()));
  held.Close();
  EXPECT_EQ(ReadBytes(folder / kLeftover), (std::vector<uint8_t>{'b', 'u', 's', 'y'}));
}
#endif

// GetTempFileNameW took folders of at most 246 characters into a 260-character buffer.
TEST(LongPathsTest, ExtractionAndTheProbeWorkInFoldersOfAnyLength) {
  ScratchFolder scratch;
  for (size_t length : {size_t{247}, size_t{320}, size_t{600}}) {
    const Text folder = LongFolder(scratch / FromUtf8(std::to_string(length)), length);
    EXPECT_TRUE(IsWritableFolder(folder)) << folder.size();
    EXPECT_TRUE(ExtractHistory(folder + kPathSeparator + u"history.dat")) << folder.size();
    EXPECT_EQ(ListFolder(folder), std::vector<Text>{u"history.dat"}) << folder.size();
  }
}

TEST(LongPathsTest, PathFunctionsTakeAnyLength) {
  ScratchFolder scratch;
  const Text longBase = LongFolder(scratch / u"b", 400);
  const Text s(1, kPathSeparator);
  // The same cases below a short and a long folder: the long ones are done by hand, and must
  // agree with what the shell does for the short ones.
  std::vector<std::pair<Text, Text>> canonical = {
      {s + u"a" + s + u"." + s + u"b", s + u"a" + s + u"b"},
      {s + u"a" + s + u".." + s + u"b", s + u"b"},
      {s + u"a" + s + u"b" + s + u"..", s + u"a"},
      {s + u"." + s + u"a" + s + u"." + s + u"." + s + u"b", s + u"a" + s + u"b"},
      {s + u"a" + s + s + u"b", s + u"a" + s + u"b"},
  };
  // The shell keeps a trailing separator; the substitute drops it.
  const Text trailing = kPathSeparator == u'\\' ? s : Text();
  canonical.push_back({s + u"a" + s + u"b" + s, s + u"a" + s + u"b" + trailing});
  for (const Text& base : {scratch.Path(), longBase}) {
    for (const auto& [in, out] : canonical) EXPECT_EQ(CanonicalPath(base + in), base + out) << ToUtf8(in);
    Text removed = base + s + u"file.dat";
    RemoveLastComponent(removed);
    EXPECT_EQ(removed, base);
    EXPECT_TRUE(IsExistingFolder(base)) << base.size();
    EXPECT_FALSE(IsExistingFolder(base + s + u"missing"));
  }

  Text appData, head;
  ASSERT_TRUE(GetAppDataFolder(appData));
  ASSERT_TRUE(UnExpandEnvironment(appData, head));
  const Text tail = longBase.substr(scratch.Path().size());
  Text unexpanded;
  ASSERT_TRUE(UnExpandEnvironment(appData + tail, unexpanded));
  EXPECT_EQ(unexpanded, head + tail);

  Text current, inside;
  ASSERT_TRUE(GetCurrentFolder(current));
  ASSERT_TRUE(testing::SetCurrentFolder(longBase));
  const bool read = GetCurrentFolder(inside);
  ASSERT_TRUE(testing::SetCurrentFolder(current));
  ASSERT_TRUE(read);
  EXPECT_EQ(inside, longBase);
}

}  // namespace
}  // namespace kbt
