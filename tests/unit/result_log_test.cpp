#include "operations/result_log.h"

#include <gtest/gtest.h>

#include "operations/operation_request.h"
#include "platform/texts.h"
#include "res/resource.h"
#include "support/test_support.h"

namespace kbt {
namespace {

TEST(ResultLogTest, FormatsTableStringsAndLiteralsInOrder) {
  platform::SetThreadLanguage(1033);
  ResultLog log;
  log.Add(IDS_BACKUP_FILE_FAILED, Text(u"history.dat"));
  log.Add(u"literal %s and %s", Text(u"\u00e4"), Text(u"b"));
  log.Add(IDS_BACKUP_SETTINGS_FAILED);
  log.Add(9999);  // no such string
  ASSERT_EQ(log.Size(), 4u);
  EXPECT_EQ(log.Entries()[0], u"Failed to backup \"history.dat\".");
  EXPECT_EQ(log.Entries()[1], u"literal \u00e4 and b");
  EXPECT_EQ(log.Entries()[2], u"Failed to backup registry settings.");
  EXPECT_EQ(log.Entries()[3], u"");
}

TEST(ResultLogTest, FormatNeverReadsArgumentsThatWereNotPassed) {
  EXPECT_EQ(FormatText(u"%s and %s", {u"one"}), u"one and %s");
  EXPECT_EQ(FormatText(u"100%% %d %1 %", {}), u"100% %d %1 %");
  EXPECT_EQ(FormatText(u"%ls!", {u"wide"}), u"wide!");
}

TEST(ResultLogTest, GermanTableUnderTheSameIds) {
  platform::SetThreadLanguage(1031);
  ResultLog log;
  log.Add(IDS_RESTORE_FILE_FAILED, Text(u"x.bmp"));
  platform::SetThreadLanguage(1033);
  EXPECT_EQ(log.Entries()[0], u"Wiederherstellung von \u201Ex.bmp\u201C fehlgeschlagen.");
}

TEST(OperationRequestTest, StartsWithBothSelectionBitsAndTwelveKeys) {
  OperationRequest request(OperationMode::Backup);
  EXPECT_EQ(request.GetSelection(), 3u);
  EXPECT_EQ(request.GetMode(), OperationMode::Backup);
  EXPECT_FALSE(request.IsUnattended());
  EXPECT_FALSE(request.ResetAfterBackup);
  ASSERT_EQ(request.SettingsKeys.size(), 12u);
  EXPECT_EQ(*request.SettingsKeys.begin(), u"Software\\Kestrove\\Colors");
  EXPECT_EQ(*(request.SettingsKeys.end() - 1), u"Software\\Kestrove\\Client\\1.0");
  request.SettingsKeys.Fill();
  EXPECT_EQ(request.SettingsKeys.size(), 12u) << "filling again must not duplicate";
}

TEST(OperationRequestTest, SelectionBitsCombine) {
  OperationRequest request(OperationMode::Backup);
  request.RemoveSelection(DataSelection::Settings);
  EXPECT_EQ(request.GetSelection(), 1u);
  request.AddSelection(DataSelection::Settings);
  EXPECT_EQ(request.GetSelection(), 3u);
  request.RemoveSelection(DataSelection::ApplicationData);
  EXPECT_EQ(request.GetSelection(), 2u);
  request.RemoveSelection(3);
  EXPECT_EQ(request.GetSelection(), 0u);
}

TEST(OperationRequestTest, RunRefusesAModeOutsideTheThree) {
  OperationRequest request(static_cast<OperationMode>(7));
  EXPECT_FALSE(request.Run());
  EXPECT_EQ(request.Log.Size(), 0u);
}

}  // namespace
}  // namespace kbt
