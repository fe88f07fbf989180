#include "app/client_locations.h"

#include <gtest/gtest.h>

#include <optional>

#include "archive/directory_path.h"
#include "operations/operation_request.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::SeedString;

Text DefaultDataFolder() {
  Text folder;
  EXPECT_TRUE(GetAppDataFolder(folder));
  AppendPath(folder, u"Kestrove");
  return folder;
}

class ClientLocationsTest : public testing::ClientRegistryTest {};

// Finding the folders only reads: whatever "Data Path" holds, it is left exactly as it was.
TEST_F(ClientLocationsTest, DiscoveryFindsTheDataFolderAndWritesNothing) {
  testing::ScratchFolder data;
  const Text absent = testing::FolderOnAbsentDrive();
  struct Case {
    const char* what;
    std::optional<Text> stored;  // none: no client key at all
    uint32_t type;
    Text expected;
  } cases[] = {
      {"no client key", std::nullopt, kRegSz, DefaultDataFolder()},
      {"an existing folder as REG_SZ", data.Path(), kRegSz, data.Path()},
      {"a variable", u"%KBT_DATA_TEST%" + (kPathSeparator + Text(u"sub")), kRegExpandSz, data / u"sub"},
      {"a missing folder on a present drive", data / u"gone", kRegExpandSz, DefaultDataFolder()},
      {"a folder on an absent drive", absent, kRegSz, absent},
      {"an empty value", Text(), kRegSz, DefaultDataFolder()},
  };
  ASSERT_EQ(CreateDirectoryPath(data / u"sub"), kSuccess);
  testing::SetEnvironment("KBT_DATA_TEST", data.Path());
  for (const Case& c : cases) {
    testing::DeleteKey(u"Software\\Kestrove");
    if (c.stored) SeedString(u"Software\\Kestrove", u"Data Path", *c.stored, c.type);
    const testing::RegistrySnapshot before = testing::SnapshotKey(u"Software\\Kestrove");
    Text folder;
    EXPECT_EQ(FindDataFolder(folder), IsExistingFolder(c.expected)) << c.what;
    EXPECT_EQ(folder, c.expected) << c.what;
    OperationRequest request(OperationMode::Backup);
    DiscoverClientLocations(request);
    EXPECT_EQ(request.DataFolder, c.expected) << c.what;
    EXPECT_EQ(request.FavoritesFolder, c.expected) << c.what << ": no favorites folder, so the data folder";
    EXPECT_EQ(testing::SnapshotKey(u"Software\\Kestrove"), before) << c.what;
    EXPECT_EQ(testing::KeyExists(u"Software\\Kestrove"), c.stored.has_value()) << c.what;
  }
}

TEST_F(ClientLocationsTest, FavoritesFolderIsTakenAsStoredEvenWhenMissing) {
  testing::ScratchFolder data;
  SeedString(u"Software\\Kestrove", u"Data Path", data.Path());
  SeedString(u"Software\\Kestrove", u"Favorites Folder", data / u"not-there");
  OperationRequest request(OperationMode::Backup);
  DiscoverClientLocations(request);
  EXPECT_EQ(request.FavoritesFolder, data / u"not-there") << "a missing favorites folder does not fall back";
  Text folder;
  EXPECT_FALSE(FindFavoritesFolder(folder));
}

TEST_F(ClientLocationsTest, ANonStringFavoritesFolderBecomesTheDataFolder) {
  testing::ScratchFolder data;
  SeedString(u"Software\\Kestrove", u"Data Path", data.Path());
  testing::SeedDword(u"Software\\Kestrove", u"Favorites Folder", 5);
  OperationRequest request(OperationMode::Backup);
  DiscoverClientLocations(request);
  EXPECT_EQ(request.FavoritesFolder, data.Path());
}

}  // namespace
}  // namespace kbt
