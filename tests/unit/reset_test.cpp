#include <gtest/gtest.h>

#include "archive/directory_path.h"
#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "regfile/registry_key.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::KeyExists;
using testing::ReadValue;
using testing::SeedString;

class ResetTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    testing::DeleteKey(u"Software\\KestroveOther");
    request.DataFolder = data.Path();
    for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) testing::WriteText(data / name, "x");
    testing::WriteText(favorites / u"favorites.dat", "f");
    testing::WriteText(queue / u"my.que", "q");
    SeedString(u"Software\\Kestrove", u"Favorites Folder", favorites.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegExpandSz);
    SeedString(u"Software\\Kestrove\\Queue", u"Last File", queue / u"my.que");
    SeedString(u"Software\\Kestrove\\Display", u"Listview Bitmap", u"a.bmp");
    SeedString(u"Software\\Kestrove\\Client\\1.0\\Deep", u"x", u"y");
    SeedString(u"Software\\Kestrove\\Client", u"kept", u"y");
    SeedString(u"Software\\Kestrove\\Backup\\1.0", u"Last File", u"c.zip");
    SeedString(u"Software\\Kestrove\\Unlisted", u"kept", u"y");
  }
  void TearDown() override {
    testing::DeleteKey(u"Software\\KestroveOther");
    ClientRegistryTest::TearDown();
  }
  testing::ScratchFolder data, favorites, queue;
  OperationRequest request{OperationMode::Reset};
};

TEST_F(ResetTest, DeletesFilesListedKeysAndTopValuesOnly) {
  EXPECT_TRUE(request.Run());
  EXPECT_EQ(request.Log.Size(), 0u);
  for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) EXPECT_FALSE(FileExists(data / name));
  EXPECT_FALSE(FileExists(favorites / u"favorites.dat"));
  EXPECT_FALSE(FileExists(queue / u"my.que"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Queue"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Display"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Client\\1.0"));
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Client", u"kept").exists) << "only the listed sub-key goes";
  EXPECT_FALSE(ReadValue(u"Software\\Kestrove", u"Data Path").exists);
  EXPECT_FALSE(ReadValue(u"Software\\Kestrove", u"Favorites Folder").exists);
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists);
  EXPECT_TRUE(ReadValue(u"Software\\Kestrove\\Unlisted", u"kept").exists);
}

TEST_F(ResetTest, MissingFileFailsTheDataStepButEveryDeletionIsTried) {
  ASSERT_TRUE(RemoveFile(data / u"custom.dat"));
  EXPECT_FALSE(request.Reset(DataSelection::ApplicationData | DataSelection::Settings));
  ASSERT_EQ(request.Log.Size(), 1u);
  EXPECT_EQ(request.Log.Entries()[0], u"Failed to reset application data.");
  EXPECT_FALSE(FileExists(data / u"history.dat"));
  EXPECT_FALSE(FileExists(favorites / u"favorites.dat"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Display")) << "the settings step still runs";
}

TEST_F(ResetTest, SettingsOnlyLeavesTheFiles) {
  EXPECT_TRUE(request.Reset(DataSelection::Settings));
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  EXPECT_TRUE(FileExists(queue / u"my.que"));
  EXPECT_FALSE(KeyExists(u"Software\\Kestrove\\Queue"));
}

TEST_F(ResetTest, UnexpandedFavoritesFolderIsNotExpandedAndDeletesNothingThere) {
  Text appData;
  ASSERT_EQ(ExpandEnvironment(u"%APPDATA%", appData), kSuccess);
  CreateDirectoryPath(appData);
  ASSERT_TRUE(IsExistingFolder(appData));
  ASSERT_TRUE(testing::WriteText(appData + kPathSeparator + u"favorites.dat", "the expanded folder's"));
  SeedString(u"Software\\Kestrove", u"Favorites Folder", u"%APPDATA%", kRegExpandSz);
  EXPECT_FALSE(request.Reset(DataSelection::ApplicationData)) << "a folder the reset leaves alone is named";
  EXPECT_NE(ToUtf8(request.Log.Entries().at(0)).find("\"%APPDATA%\" was not used"), std::string::npos);
  EXPECT_TRUE(FileExists(favorites / u"favorites.dat"));
  EXPECT_TRUE(FileExists(appData + kPathSeparator + u"favorites.dat")) << "the value is used as stored";
  EXPECT_TRUE(RemoveFile(appData + kPathSeparator + u"favorites.dat"));
}

// A data folder the rule refuses (the system's here) leaves its files alone, and neither the
// backup nor the reset calls that a success.
TEST_F(ResetTest, ARefusedDataFolderFailsTheBackupAndTheResetByName) {
#ifdef _WIN32
  const Text refused = u"C:\\windows\\Kestrove";
#else
  const Text refused = u"/usr/share/kestrove";
#endif
  request.DataFolder = refused;
  request.FavoritesFolder = refused;
  testing::ScratchFolder archives;
  request.ArchivePath = archives / u"backup.zip";
  for (const OperationMode mode : {OperationMode::Backup, OperationMode::Reset}) {
    const size_t before = request.Log.Size();
    request.SetMode(mode);
    EXPECT_FALSE(request.Run());
    ASSERT_GT(request.Log.Size(), before);
    EXPECT_EQ(request.Log.Entries()[before], u"The folder \"" + refused + u"\" was not used: it belongs to Windows, to the shell or to another user.");
  }
  EXPECT_TRUE(FileExists(data / u"history.dat"));
}

TEST_F(ResetTest, EmptyFolderValuesDeleteNothingOutsideTheClientFolders) {
  testing::ScratchFolder workingCopy;
  SeedString(u"Software\\Kestrove", u"Favorites Folder", u"", kRegExpandSz);
  SeedString(u"Software\\Kestrove\\Queue", u"Last File", u"");
  request.DataFolder.clear();
  EXPECT_TRUE(request.Reset(DataSelection::ApplicationData)) << "nothing attempted is no failure";
  EXPECT_TRUE(FileExists(favorites / u"favorites.dat"));
  EXPECT_TRUE(FileExists(data / u"history.dat"));
}

TEST_F(ResetTest, WithoutFavoritesValueNoFavoritesFileIsTouched) {
  testing::DeleteKey(u"Software\\Kestrove\\Queue");
  RegistryKey key;
  ASSERT_EQ(key.Open(RegRoot::CurrentUser, u"Software\\Kestrove", kKeyReadWrite), kSuccess);
  ASSERT_EQ(DeleteValue(key.Get(), u"Favorites Folder"), kSuccess);
  testing::WriteText(data / u"favorites.dat", "in data");
  EXPECT_TRUE(request.Reset(DataSelection::ApplicationData));
  EXPECT_TRUE(FileExists(data / u"favorites.dat"));
  EXPECT_TRUE(FileExists(queue / u"my.que"));
}

TEST_F(ResetTest, SelectionZeroDoesNothing) {
  request.RemoveSelection(3);
  EXPECT_TRUE(request.Run());
  EXPECT_EQ(request.Log.Size(), 0u);
  EXPECT_TRUE(FileExists(data / u"history.dat"));
  EXPECT_TRUE(KeyExists(u"Software\\Kestrove\\Display"));
}

TEST_F(ResetTest, TwoRunsKeepBothMessagesOldestFirst) {
  ASSERT_TRUE(RemoveFile(data / u"custom.dat"));
  EXPECT_FALSE(request.Run());
  EXPECT_FALSE(request.Run());
  EXPECT_EQ(request.Log.Size(), 2u);
}

}  // namespace
}  // namespace kbt
