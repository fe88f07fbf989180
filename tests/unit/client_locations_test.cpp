#include "app/client_locations.h"

#include <gtest/gtest.h>

#include "operations/operation_request.h"
#include "platform/paths.h"
#include "platform/shell_folders.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::ReadValue;
using testing::SeedString;

Text DefaultDataFolder() {
  Text folder;
  EXPECT_TRUE(GetAppDataFolder(folder));
  AppendPath(folder, u"Kestrove");
  return folder;
}

Text StoredText(const testing::StoredValue& value) {
  Text text(reinterpret_cast<const char16_t*>(value.data.data()), value.data.size() / 2);
  return text.substr(0, text.find(u'\0'));
}

class ClientLocationsTest : public testing::ClientRegistryTest {};

TEST_F(ClientLocationsTest, WithoutTheClientKeyTheDefaultIsUsedAndRecorded) {
  OperationRequest request(OperationMode::Backup);
  DiscoverClientLocations(request);
  EXPECT_EQ(request.DataFolder, DefaultDataFolder());
  EXPECT_EQ(request.FavoritesFolder, request.DataFolder);
  const auto stored = ReadValue(u"Software\\Kestrove", u"Data Path");
  ASSERT_TRUE(stored.exists);
  EXPECT_EQ(stored.type, kRegExpandSz);
  EXPECT_EQ(StoredText(stored), Text(u"%APPDATA%") + kPathSeparator + u"Kestrove");
  EXPECT_EQ(stored.data.size(), (StoredText(stored).size() + 1) * 2) << "written with its terminator";
}

TEST_F(ClientLocationsTest, AnExistingDataPathIsKeptAndRewrittenAsItIs) {
  testing::ScratchFolder data;
  SeedString(u"Software\\Kestrove", u"Data Path", data.Path(), kRegSz);
  Text folder;
  EXPECT_TRUE(FindDataFolder(folder));
  EXPECT_EQ(folder, data.Path());
  const auto stored = ReadValue(u"Software\\Kestrove", u"Data Path");
  EXPECT_EQ(stored.type, kRegExpandSz);
  EXPECT_FALSE(StoredText(stored).empty()) << "a folder without a variable to put back is never written empty";
  Text expanded;
  ExpandEnvironment(StoredText(stored), expanded);
  EXPECT_EQ(expanded, data.Path());
}

TEST_F(ClientLocationsTest, AMissingDataFolderFallsBackToTheDefault) {
  testing::ScratchFolder data;
  SeedString(u"Software\\Kestrove", u"Data Path", data / u"gone", kRegExpandSz);
  Text folder;
  FindDataFolder(folder);
  EXPECT_EQ(folder, DefaultDataFolder());
  EXPECT_EQ(StoredText(ReadValue(u"Software\\Kestrove", u"Data Path")),
            Text(u"%APPDATA%") + kPathSeparator + u"Kestrove");
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
