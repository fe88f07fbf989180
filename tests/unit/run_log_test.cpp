#include "app/run_log.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace kbt {
namespace {

std::string ReadLog(const Text& path) {
  const std::vector<uint8_t> bytes = testing::ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

RunRecord Record(int number, size_t messages = 1) {
  RunRecord record;
  record.time = {2026, 12, 8, 9, 5, 3};
  record.commandLine = u"/backup run" + DecimalText(static_cast<uint64_t>(number)) + u".zip";
  record.exitCode = 1;
  for (size_t i = 0; i < messages; ++i) record.messages.push_back(u"Message " + DecimalText(i));
  return record;
}

TEST(RunLogTest, ARecordIsOneHeaderLineAndItsMessagesIndented) {
  RunRecord record = Record(7);
  record.commandLine = u"/backup \"C:\\a\tb.zip\"";
  record.messages = {u"First\r\nline", u"Zweite \u00c4nderung"};
  EXPECT_EQ(FormatRunRecord(record),
            "2026-12-08 09:05:03\texit 1\t/backup \"C:\\a b.zip\"\r\n\tFirst  line\r\n\tZweite \xC3\x84nderung\r\n");
}

TEST(RunLogTest, RecordsAreAddedInOrderBehindOneByteOrderMark) {
  testing::ScratchFolder scratch;
  const Text path = platform::PathIn(scratch / u"logs", u"BackupTool.log");  // the folder is made
  const std::string first = FormatRunRecord(Record(1)), second = FormatRunRecord(Record(2));
  ASSERT_EQ(AppendRunRecord(path, first), 0);
  ASSERT_EQ(AppendRunRecord(path, second), 0);
  EXPECT_EQ(ReadLog(path), "\xEF\xBB\xBF" + first + second);
}

// Whatever is dropped, the newest record stays whole and the log starts at a record.
TEST(RunLogTest, TheOldestRecordsGoWhenTheLogOutgrowsItsLimit) {
  testing::ScratchFolder scratch;
  const Text path = scratch / u"BackupTool.log";
  constexpr uint64_t kLimit = 2000;
  std::string newest;
  size_t before = 0;
  int rotations = 0;
  for (int i = 0; i < 60; ++i) {
    newest = FormatRunRecord(Record(i, static_cast<size_t>(i % 4)));
    ASSERT_EQ(AppendRunRecord(path, newest, kLimit), 0) << i;
    const std::string log = ReadLog(path);
    ASSERT_LE(log.size(), kLimit + 3) << i;
    ASSERT_EQ(log.compare(0, 3, "\xEF\xBB\xBF"), 0) << i;
    ASSERT_EQ(log.compare(3, 5, "2026-"), 0) << "the log must begin with a record's header: " << i;
    ASSERT_EQ(log.compare(log.size() - newest.size(), newest.size(), newest), 0) << i;
    if (log.size() < before + newest.size()) {
      ++rotations;
      // Only the older half goes: what is kept falls short of half the limit by less than a record.
      EXPECT_GE(log.size() - 3 - newest.size(), kLimit / 2 - 120) << i;
    }
    before = log.size();
  }
  EXPECT_GE(rotations, 2);
  const std::string log = ReadLog(path);
  EXPECT_EQ(log.find("run0.zip"), std::string::npos) << "the oldest records must go";

  // A record beyond the limit on its own is still kept whole, alone.
  const std::string huge = FormatRunRecord(Record(99, 200));
  ASSERT_GT(huge.size(), kLimit);
  ASSERT_EQ(AppendRunRecord(path, huge, kLimit), 0);
  EXPECT_EQ(ReadLog(path), "\xEF\xBB\xBF" + huge);
}

TEST(RunLogTest, ALogThatCannotBeWrittenIsAFailureAndChangesNothing) {
  testing::ScratchFolder scratch;
  const Text folder = scratch / u"a folder";
  ASSERT_EQ(platform::MakeDirectory(folder), 0);
  EXPECT_NE(AppendRunRecord(folder, FormatRunRecord(Record(1))), 0);
  EXPECT_TRUE(platform::IsExistingFolder(folder));
  int pending = 0;
  ASSERT_TRUE(platform::ForEachFileNamed(scratch.Path(), u"~kbt*", [&](const Text&) { ++pending; }));
  EXPECT_EQ(pending, 0) << "no pending file may stay behind";
}

}  // namespace
}  // namespace kbt
