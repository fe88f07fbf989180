// "/undo" from end to end: a restore or a reset taken back to the exact registry tree and files.
#include <gtest/gtest.h>

#include <map>

#include "operations/undo/undo_point.h"
#include "platform/registry.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

class UndoE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    // The other profile, kept in an archive: other values, another queue, folders.dat.
    SeedProfile("other");
    SeedString(u"Software\\Kestrove\\Connection Data\\Site 2", u"Host", u"ftp.other.example");
    SeedString(u"Software\\Kestrove", u"Added", u"by the restore");
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"other.que", kRegExpandSz);
    WriteText(queue / u"other.que", "other queue");
    WriteText(data / u"folders.dat", "other folders");
    other = archives / u"other.zip";
    const ToolRun backup = Tool(L"/backup \"" + Wide(other) + L"\"");
    ASSERT_EQ(backup.exitCode, 0u) << backup.standardError;
    DeleteKey(u"Software\\Kestrove");
    for (const Text& file : Candidates()) ::DeleteFileW(Wide(file).c_str());
    // S0.
    SeedProfile("S0");
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"transfers.que", kRegExpandSz);
    WriteText(queue / u"transfers.que", "S0 queue");
    // Every start records the data folder in its own spelling: S0 is the client as a start leaves it.
    ASSERT_EQ(Tool(L"/backup \"" + Wide(archives / u"s0.zip") + L"\"").exitCode, 0u);
  }

  void SeedProfile(const std::string& tag) {
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Language", FromUtf8(tag));
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", tag == "S0" ? 3 : 9);
    SeedString(u"Software\\Kestrove\\Display", u"Listview Bitmap", bitmaps / u"list.bmp");
    WriteText(bitmaps / u"list.bmp", "BM " + tag);
    WriteText(data / u"history.dat", tag + " history");
    WriteText(data / u"custom.dat", tag + " custom");
    WriteText(favorites / u"favorites.dat", tag + " favorites");
  }

  std::vector<Text> Candidates() const {
    return {data / u"history.dat",   data / u"custom.dat",       data / u"folders.dat",
            favorites / u"favorites.dat", queue / u"transfers.que", queue / u"other.que",
            bitmaps / u"list.bmp"};
  }

  // The client as a test compares it: every value below its key and every one of its files.
  struct State {
    RegistrySnapshot settings;
    std::map<Text, std::vector<uint8_t>> files;
    bool operator==(const State& other) const { return settings == other.settings && files == other.files; }
  };
  State Now() const {
    State state{ClientSettingsSnapshot(), {}};
    for (const Text& file : Candidates()) {
      if (FileExists(file)) state.files[file] = ReadBytes(file);
    }
    return state;
  }

  ToolRun Tool(const std::wstring& arguments) {
    ToolOptions options;
    options.captureStandardError = true;
    return RunTool(arguments, options);
  }

  void ExpectUndoTo(const State& expected, const char* what) {
    const ToolRun undo = Tool(L"/undo");
    ASSERT_FALSE(undo.timedOut);
    EXPECT_EQ(undo.exitCode, 0u) << what << ": " << undo.standardError;
    EXPECT_TRUE(undo.boxes.empty());
    const State now = Now();
    EXPECT_EQ(now.settings, expected.settings) << what;
    EXPECT_EQ(now.files, expected.files) << what;
  }

  ScratchFolder data, favorites, queue, bitmaps, archives;
  Text other;
};

TEST_F(UndoE2E, UndoTakesBackARestoreAndAnUndoTakesBackTheUndo) {
  const State s0 = Now();
  const StoredValue lastBackup = ReadValue(names::kToolKey, names::kLastFileValue);
  const ToolRun restore = Tool(L"/restore \"" + Wide(other) + L"\"");
  ASSERT_EQ(restore.exitCode, 0u) << restore.standardError;
  EXPECT_EQ(ReadValue(names::kToolKey, names::kLastFileValue).data, lastBackup.data) << "an undo point is no last backup";
  ASSERT_EQ(Tool(L"/backup \"" + Wide(archives / u"restored.zip") + L"\"").exitCode, 0u) << "as a start leaves it";
  const State restored = Now();
  ASSERT_FALSE(restored == s0);
  EXPECT_TRUE(restored.files.count(data / u"folders.dat")) << "the restore created folders.dat";
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove", u"Added").exists) << "and added a value";

  ASSERT_EQ(ListUndoPoints(UndoFolder()).size(), 1u);

  ExpectUndoTo(s0, "the undo");
  EXPECT_EQ(ListUndoPoints(UndoFolder()).size(), 2u) << "the undo wrote an undo point of its own";
  ExpectUndoTo(restored, "the undo of the undo");
}

TEST_F(UndoE2E, UndoTakesBackAReset) {
  WriteText(data / u"folders.dat", "S0 folders");  // a reset of a complete profile succeeds
  const State s0 = Now();
  const ToolRun reset = Tool(L"/reset");
  ASSERT_EQ(reset.exitCode, 0u) << reset.standardError;
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  ExpectUndoTo(s0, "the undo of the reset");
}

}  // namespace
}  // namespace kbt::testing
