#include "archive/backup_identity.h"

#include <gtest/gtest.h>

#include "archive/backup_archive.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using testing::ScratchFolder;

TEST(FormatBackupCommentTest, ThreeLinesEndedByLineFeeds) {
  const Text text = FormatBackupComment(u"x", {2005, 3, 7, 9, 5, 3});
  EXPECT_EQ(text, u"Kestrove Client Backup File\nx\n2005-03-07T09:05:03Z\n");
  EXPECT_EQ(text.size(), 51u);
  EXPECT_EQ(FormatBackupComment(u"", {2024, 12, 31, 23, 59, 59}),
            u"Kestrove Client Backup File\n\n2024-12-31T23:59:59Z\n");
  EXPECT_EQ(FormatBackupComment(u"a b", {987, 10, 1, 0, 0, 0}),
            u"Kestrove Client Backup File\na b\n0987-10-01T00:00:00Z\n")
      << "the year has at least four digits";
}

TEST(ParseBackupTimeTest, TakesOnlyTheTimeTheCommentCarries) {
  platform::LocalTime time;
  ASSERT_TRUE(ParseBackupTime(u"2005-03-07T09:05:02Z", time));
  EXPECT_EQ(FormatBackupComment(u"", time), u"Kestrove Client Backup File\n\n2005-03-07T09:05:02Z\n");
  const struct {
    const char16_t* text;
    const char* fault;
  } refused[] = {{u"2005-03-07 09:05:02Z", "another separator"}, {u"2005-03-07T09:05:02", "no zone"},
                 {u"2005-13-07T09:05:02Z", "month 13"},          {u"2005-02-30T09:05:02Z", "30 February"},
                 {u"2005-03-07T24:00:00Z", "hour 24"},           {u"2005-03-07T09:60:02Z", "minute 60"},
                 {u"1600-03-07T09:05:02Z", "before file times"}, {u"2005-03-0xT09:05:02Z", "a letter"},
                 {u"", "nothing"}};
  for (const auto& text : refused) EXPECT_FALSE(ParseBackupTime(text.text, time)) << text.fault;
}

struct IdentityCase {
  const char16_t* comment;  // nullptr: the archive has none
  bool isBackup;
  const char16_t* userComment;
  const char16_t* created;
  const char* fault;
};

class ReadBackupIdentityTest : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(ReadBackupIdentityTest, RecognisesOnlyTheExactFirstLine) {
  const IdentityCase& c = GetParam();
  ScratchFolder scratch;
  const Text archive = scratch / u"candidate.zip";
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    if (c.comment) {
      writer.CommentText = c.comment;
      writer.HasComment = true;
    }
    ASSERT_TRUE(writer.Close());
  }
  BackupIdentity identity{u"old comment", u"old time"};
  EXPECT_EQ(ReadBackupIdentity(archive, identity), c.isBackup) << c.fault;
  EXPECT_EQ(identity.comment, c.isBackup ? c.userComment : u"old comment") << c.fault;
  EXPECT_EQ(identity.created, c.isBackup ? c.created : u"old time") << c.fault;
}

INSTANTIATE_TEST_SUITE_P(
    Comments, ReadBackupIdentityTest,
    ::testing::Values(
        IdentityCase{u"Kestrove Client Backup File\nmy comment\n2005-03-07T09:05:03Z\n", true, u"my comment",
                     u"2005-03-07T09:05:03Z", "a comment as the backup writes it"},
        IdentityCase{u"Kestrove Client Backup File\n\n2005-03-07T09:05:03Z\n", true, u"", u"2005-03-07T09:05:03Z",
                     "an empty user comment is still a backup"},
        IdentityCase{u"Kestrove Client Backup File\r\nc\r\n2005-03-07T09:05:03Z\r\n", false, u"", u"",
                     "CR LF line ends leave a CR on the first line"},
        IdentityCase{u"kestrove client backup file\nc\n2005\n", false, u"", u"", "letter case matters"},
        IdentityCase{u" Kestrove Client Backup File\nc\nt\n", false, u"", u"", "blanks are not trimmed"},
        IdentityCase{u"Kestrove Client Backup Files\nc\nt\n", false, u"", u"", "a longer first line"},
        IdentityCase{u"Other tool\nKestrove Client Backup File\n", false, u"", u"", "the identification is line 1"},
        IdentityCase{u"Kestrove Client Backup File\nc\nt\nfourth\nfifth", true, u"c", u"t", "later lines are ignored"},
        IdentityCase{u"Kestrove Client Backup File\nfirst\nsecond\n2005-03-07T09:05:03Z\n", true, u"first",
                     u"second", "an LF in the user comment shifts the lines"},
        IdentityCase{u"Kestrove Client Backup File\nonly comment\n", true, u"only comment", u"",
                     "a missing time line reads as empty"},
        IdentityCase{u"Kestrove Client Backup File\n", true, u"", u"", "missing lines read as empty"},
        IdentityCase{u"Kestrove Client Backup File\nc\n2005-03-07T09:05:03Z", true, u"c", u"2005-03-07T09:05:03Z",
                     "a last line without its LF still counts"},
        IdentityCase{u"Kestrove Client Backup File\n \t x \n t \n", true, u" \t x ", u" t ",
                     "lines are taken as stored"},
        IdentityCase{u"Kestrove Client Backup File\nGr\u00fc\u00dfe\n2005-03-07T09:05:03Z\n", true,
                     u"Gr\u00fc\u00dfe", u"2005-03-07T09:05:03Z", "the comment comes back in the code page"},
        IdentityCase{u"", false, u"", u"", "an empty comment is no backup"},
        IdentityCase{nullptr, false, u"", u"", "an archive without a comment is no backup"}));

TEST(ReadBackupIdentityTest, FilesThatAreNoArchivesAreNoBackups) {
  ScratchFolder scratch;
  BackupIdentity identity{u"keep", u"keep"};
  EXPECT_FALSE(ReadBackupIdentity(scratch / u"missing.zip", identity));
  EXPECT_FALSE(ReadBackupIdentity(u"", identity));
  EXPECT_FALSE(ReadBackupIdentity(scratch.Path(), identity));
  ASSERT_TRUE(testing::WriteText(scratch / u"text.zip", "Kestrove Client Backup File\nc\nt\n"));
  EXPECT_FALSE(ReadBackupIdentity(scratch / u"text.zip", identity));
  EXPECT_EQ(identity.comment, u"keep");
  EXPECT_EQ(identity.created, u"keep");
}

TEST(ReadBackupIdentityTest, ABackupWithEntriesAndItsFormattedComment) {
  ScratchFolder scratch;
  const Text archive = scratch / u"backup.zip";
  ASSERT_TRUE(testing::WriteText(scratch / u"history.dat", "h"));
  {
    BackupArchiveWriter writer;
    ASSERT_TRUE(writer.Open(archive, 0));
    ASSERT_TRUE(writer.AddFile(scratch / u"history.dat", names::kHistoryFile, -1));
    writer.CommentText = FormatBackupComment(u"before the upgrade", {2005, 3, 7, 9, 5, 3});
    writer.HasComment = true;
  }
  BackupIdentity identity;
  ASSERT_TRUE(ReadBackupIdentity(archive, identity));
  EXPECT_EQ(identity.comment, u"before the upgrade");
  EXPECT_EQ(identity.created, u"2005-03-07T09:05:03Z");
}

}  // namespace
}  // namespace kbt
