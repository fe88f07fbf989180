// The client's folder values through a restore: the preview lists them only when the folder
// changes, the restore writes them only then, and "/undo" gives back the user's own value exactly.
#include <gtest/gtest.h>

#include <optional>

#include "app/client_locations.h"
#include "app/main_logic.h"
#include "operations/operation_request.h"
#include "operations/restore/restore_preview.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "res/non_localizable.h"
#include "support/silent_shell.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::ReadValue;
using testing::SeedString;

using testing::SilentShell;

class FolderValuesTest : public testing::ClientRegistryTest {
 protected:
  int Run(const Text& commandLine) {
    OperationRequest request(OperationMode::Backup);
    shell.reported.clear();
    return RunMainLogic(commandLine, request, shell);
  }
  std::string Reported() const { return shell.reported.empty() ? "" : ToUtf8(shell.reported.back()); }

  testing::ScratchFolder data, favorites, archives;
  SilentShell shell;
};

struct Value {
  Text text;
  uint32_t type;
};

TEST_F(FolderValuesTest, ARestoreChangesAFolderValueOnlyWhenTheFolderChanges) {
  Text defaultFolder;
  ASSERT_TRUE(GetAppDataFolder(defaultFolder));
  AppendPath(defaultFolder, names::kDataFolderName);
  testing::SetEnvironment("KBT_FOLDER_TEST", data.Path());
  const Text absent = testing::FolderOnAbsentDrive();
  const Text otherMachine = archives / u"machine A";  // a folder of another machine: not here
  const struct Case {
    const char* what;
    Value today;
    std::optional<Value> inArchive;
    Value expected;   // after the restore
    bool listed;      // in the preview
  } cases[] = {
      {"the same folder, not in the archive", {data.Path(), kRegSz}, std::nullopt, {data.Path(), kRegSz}, false},
      {"another machine's folder in the archive", {data.Path(), kRegSz}, Value{otherMachine, kRegExpandSz},
       {data.Path(), kRegSz}, false},
      {"the same folder spelled otherwise", {u"%KBT_FOLDER_TEST%", kRegExpandSz},
       Value{data.Path() + kPathSeparator, kRegSz}, {data.Path() + kPathSeparator, kRegSz}, false},
      {"a folder on an absent drive", {absent, kRegSz}, Value{otherMachine, kRegExpandSz}, {absent, kRegSz}, false},
      {"a missing folder on a present drive", {data / u"gone", kRegSz}, std::nullopt,
       {defaultFolder, kRegExpandSz}, true},
  };
  int number = 0;
  for (const Case& c : cases) {
    const Text archive = archives / (u"backup" + DecimalText(++number) + u".zip");
    testing::DeleteKey(names::kClientKey);
    SeedString(names::kClientKey, names::kFavoritesFolderValue, favorites.Path(), kRegSz);
    if (c.inArchive) SeedString(names::kClientKey, names::kDataPathValue, c.inArchive->text, c.inArchive->type);
    ASSERT_EQ(Run(u"/backup \"" + archive + u"\""), kExitSuccess) << c.what << ": " << Reported();
    testing::DeleteKey(names::kClientKey);
    SeedString(names::kClientKey, names::kFavoritesFolderValue, favorites.Path(), kRegSz);
    SeedString(names::kClientKey, names::kDataPathValue, c.today.text, c.today.type);
    const auto today = ReadValue(names::kClientKey, names::kDataPathValue);

    OperationRequest request(OperationMode::Restore);
    DiscoverClientLocations(request);
    RestorePreview preview;
    ASSERT_TRUE(PreviewRestore(archive, request.DataFolder, request.FavoritesFolder, DataSelection::Settings, preview))
        << c.what;
    bool listed = false;
    for (const SettingChange& change : preview.settings) {
      if (change.name != names::kDataPathValue) continue;
      listed = true;
      EXPECT_EQ(change.now, c.today.text) << c.what;
      EXPECT_EQ(change.restored, c.expected.text) << c.what;
    }
    EXPECT_EQ(listed, c.listed) << c.what;

    ASSERT_EQ(Run(u"/restore \"" + archive + u"\""), kExitSuccess) << c.what << ": " << Reported();
    const auto restored = ReadValue(names::kClientKey, names::kDataPathValue);
    EXPECT_EQ(restored.type, c.expected.type) << c.what;
    EXPECT_EQ(restored.data, testing::StringBytes(c.expected.text)) << c.what;
    ASSERT_EQ(Run(u"/undo"), kExitSuccess) << c.what << ": " << Reported();
    const auto undone = ReadValue(names::kClientKey, names::kDataPathValue);
    EXPECT_EQ(undone.type, today.type) << c.what << ": the user's own value, type included";
    EXPECT_EQ(undone.data, today.data) << c.what;
  }
}

}  // namespace
}  // namespace kbt
