// Files held open by another program, as only Windows enforces it.
#include <windows.h>

#include <gtest/gtest.h>

#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/texts.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;

class ExclusiveLock {
 public:
  explicit ExclusiveLock(const Text& path)
      : handle_(::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~ExclusiveLock() {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  bool Held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class LockedFilesTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    request.DataFolder = data.Path();
    request.FavoritesFolder = data.Path();
    request.ArchivePath = archives / u"backup.zip";
    for (const char16_t* name : {u"history.dat", u"custom.dat", u"folders.dat"}) testing::WriteText(data / name, "data");
    testing::SeedDword(u"Software\\Kestrove\\Transfer", u"Retries", 3);
  }
  testing::ScratchFolder data, archives;
  OperationRequest request{OperationMode::Backup};
};

// A failed step never costs the user the backup they had: the earlier archive of that name stays
// as it was, nothing of the incomplete one is left, and nothing is recorded as the last backup.
TEST_F(LockedFilesTest, ALockedFileFailsTheBackupKeepsTheEarlierArchiveAndSkipsTheReset) {
  request.ResetAfterBackup = true;
  ASSERT_TRUE(testing::WriteText(request.ArchivePath, "earlier"));
  {
    ExclusiveLock lock(data / u"custom.dat");
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(request.Run());
  }
  ASSERT_EQ(request.Log.Size(), 4u);
  EXPECT_EQ(request.Log.Entries()[0], u"Failed to backup \"custom.dat\". " + platform::ErrorText(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(request.Log.Entries()[1], u"Failed to backup application data.");
  EXPECT_EQ(request.Log.Entries()[2], u"Failed to complete the backup file \"" + request.ArchivePath + u"\".");
  EXPECT_EQ(request.Log.Entries()[3], u"The reset was skipped because the backup was not complete.");
  EXPECT_TRUE(testing::FileExists(data / u"history.dat")) << "nothing may be reset after an incomplete backup";
  EXPECT_TRUE(testing::KeyExists(u"Software\\Kestrove\\Transfer"));
  EXPECT_EQ(testing::ReadBytes(request.ArchivePath), std::vector<uint8_t>({'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
  EXPECT_TRUE(RemoveFile(request.ArchivePath));
  EXPECT_TRUE(testing::FolderIsEmpty(archives.Path())) << "no part of the incomplete archive is left";
  EXPECT_FALSE(testing::ReadValue(u"Software\\Kestrove\\Backup\\1.0", u"Last File").exists);
}

TEST_F(LockedFilesTest, ALockedFileOnRestoreIsReportedAndTheOthersAreRestored) {
  ASSERT_TRUE(request.Backup(DataSelection::ApplicationData));
  testing::WriteText(data / u"history.dat", "changed");
  testing::WriteText(data / u"folders.dat", "changed");
  {
    ExclusiveLock lock(data / u"custom.dat");
    ASSERT_TRUE(lock.Held());
    EXPECT_FALSE(request.Restore(DataSelection::ApplicationData));
  }
  ASSERT_EQ(request.Log.Size(), 2u);
  EXPECT_EQ(request.Log.Entries()[0], u"Failed to restore \"custom.dat\". " + platform::ErrorText(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(request.Log.Entries()[1], u"Restore of application data failed.");
  EXPECT_EQ(testing::ReadBytes(data / u"history.dat").size(), 4u);
  EXPECT_EQ(testing::ReadBytes(data / u"folders.dat").size(), 4u);
}

}  // namespace
}  // namespace kbt
