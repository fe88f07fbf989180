// "/reset" from end to end on a seeded client profile.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

class ResetE2E : public ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) WriteText(data / name, "data");
    WriteText(favorites / u"favorites.dat", "favorites");
    WriteText(queue / u"my.que", "queue");
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"my.que", kRegExpandSz);
    SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
    SeedString(u"Software\\Kestrove\\Connection Data\\Site 1", u"Host", u"ftp.example.com");
    SeedString(u"Software\\Kestrove\\Backup\\1.0", u"Last File", u"C:\\b.zip", kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Plugins", u"Kept", u"yes");
  }
  ScratchFolder data, favorites, queue;
};

TEST_F(ResetE2E, DeletesTheProfileAndKeepsWhatIsNotListed) {
  ToolOptions options;
  options.captureStandardError = true;
  const ToolRun run = RunTool(L"/reset", options);
  ASSERT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u) << run.standardError;
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(run.standardError.empty());
  for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) EXPECT_FALSE(FileExists(data / name));
  EXPECT_FALSE(FileExists(favorites / u"favorites.dat"));
  EXPECT_FALSE(FileExists(queue / u"my.que"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Transfer"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Connection Data"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Queue"));
  EXPECT_FALSE(ReadValue(u"Software\\Kestrove", u"Data Path").exists);
  EXPECT_FALSE(ReadValue(u"Software\\Kestrove", u"Favorites Folder").exists);
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists);
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Plugins", u"Kept").exists);
}

TEST_F(ResetE2E, AMissingDataFileIsReportedWithTheFailureExitCode) {
  ::DeleteFileW(reinterpret_cast<const wchar_t*>((data / u"custom.dat").c_str()));
  ToolOptions options;
  options.captureStandardError = true;
  const ToolRun run = RunTool(L"/reset", options);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.standardError, "Failed to reset application data.\n");
  EXPECT_FALSE(FileExists(data / u"history.dat")) << "the other files are still deleted";
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Transfer"));

  const ToolRun quiet = RunTool(L"/reset");
  EXPECT_EQ(quiet.exitCode, 1u) << "without a redirected standard error the exit code still tells";
}

TEST_F(ResetE2E, AnUnexpandedFavoritesFolderIsNotDeleted) {
  SeedString(u"Software\\Kestrove", u"Favorites Folder", u"%APPDATA%", kRegExpandSz);
  wchar_t appData[MAX_PATH] = {};
  ::ExpandEnvironmentStringsW(L"%APPDATA%\\favorites.dat", appData, MAX_PATH);
  const Text planted = Text(reinterpret_cast<const char16_t*>(appData));
  ASSERT_TRUE(WriteText(planted, "must survive"));
  ToolOptions options;
  options.captureStandardError = true;
  const ToolRun run = RunTool(L"/reset", options);
  EXPECT_EQ(run.exitCode, 1u) << "a folder that is no place of the client's is left alone, and named";
  EXPECT_EQ(run.standardError.rfind("The folder \"%APPDATA%\" was not used", 0), 0u) << run.standardError;
  EXPECT_TRUE(FileExists(planted)) << "the reset must not expand the stored folder";
  ::DeleteFileW(appData);
}

}  // namespace
}  // namespace kbt::testing
