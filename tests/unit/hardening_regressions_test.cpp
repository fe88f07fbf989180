// Inputs that once got past a guard or broke a property: each case names the fault it catches.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/backup_archive.h"
#include "operations/client/file_checks.h"
#include "support/test_support.h"
#include "unit/archive_test_support.h"

namespace kbt {
namespace {

TEST(HardeningRegressionsTest, AStreamSuffixDoesNotHideAnExecutable) {
  // On NTFS "evil.exe::$DATA" is evil.exe itself, and "x.exe:s" creates x.exe; a drive-relative
  // "C:evil.exe" has no separator, so the whole of it is its file-name part.
  for (const char16_t* name : {u"evil.exe::$DATA", u"evil.EXE::$data", u"evil.exe:zone", u"evil.bat:",
                               u"C:evil.exe", u"evil.cmd.::$DATA", u"list.bmp:evil.exe", u"evil.exe. :x"}) {
    EXPECT_TRUE(HasExecutableExtension(name)) << ToUtf8(name);
  }
  for (const char16_t* name : {u"list.bmp", u"list.bmp::$DATA", u"C:list.bmp", u"queue.dat:x"}) {
    EXPECT_FALSE(HasExecutableExtension(name)) << ToUtf8(name);
  }
}

// Found by fuzzing the archive reader: a central header whose extra field is claimed far past the
// end of the file. minizip then reads past the end once per four claimed bytes, each a system
// call before reads there were answered from the known end (seconds for one lookup). The
// entries must still be searched and extracted safely.
TEST(HardeningRegressionsTest, AnExtraFieldClaimedPastTheEndOfTheArchive) {
  testing::ScratchFolder folder;
  const Text archive = folder / u"crafted.zip";
  const std::vector<uint8_t> history(300, 'h');
  ASSERT_TRUE(testing::WriteBytes(folder / u"history.dat", history));
  ASSERT_TRUE(testing::WriteBytes(folder / u"custom.dat", std::vector<uint8_t>(200, 'c')));
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    ASSERT_TRUE(writer.AddFile(folder / u"history.dat", u"history.dat", -1));
    ASSERT_TRUE(writer.AddFile(folder / u"custom.dat", u"custom.dat", -1));
    ASSERT_TRUE(writer.Close());
  }
  std::vector<uint8_t> bytes = testing::ReadBytes(archive);
  const uint8_t central[] = {'P', 'K', 1, 2};
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(central), std::end(central));
  ASSERT_NE(at, bytes.end());
  at[30] = 0x00;  // extra field length of the first central header: 64,256 bytes
  at[31] = 0xFB;
  ASSERT_TRUE(testing::WriteBytes(archive, bytes));

  const std::vector<uint8_t> kept = {'k', 'e', 'p', 't'};
  BackupArchiveReader reader;
  ASSERT_TRUE(reader.Open(archive));
  EXPECT_FALSE(reader.LocateEntry(u"custom.dat", false)) << "the walk cannot reach past the claimed field";
  EXPECT_FALSE(reader.LocateEntry(u"CUSTOM.DAT", true));
  for (const bool ignoreCase : {false, true}) {
    if (!reader.LocateEntry(u"history.dat", ignoreCase)) continue;
    ASSERT_TRUE(testing::WriteBytes(folder / u"out.dat", kept));
    if (reader.ExtractCurrentEntry(folder / u"out.dat")) {
      EXPECT_EQ(testing::ReadBytes(folder / u"out.dat"), history);
    } else {
      EXPECT_EQ(testing::ReadBytes(folder / u"out.dat"), kept) << "a failed extraction replaces nothing";
    }
  }
  reader.Close();
  std::vector<Text> names = testing::ListFolder(folder.Path());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<Text>{u"crafted.zip", u"custom.dat", u"history.dat", u"out.dat"}))
      << "no temporary file is left";
}

}  // namespace
}  // namespace kbt
