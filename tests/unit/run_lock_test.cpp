// One run at a time: an operation that changes the client (or reads it whole for an archive)
// refuses to start while another holds the lock, and starts once it has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "operations/operation_request.h"
#include "operations/undo_point.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/run_lock.h"
#include "platform/texts.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::FileExists;
using testing::ReadBytes;
using testing::SeedString;
using testing::WriteText;

class RunLockTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
    SeedString(names::kDisplayKey, names::kListviewBitmapValue, u"a.bmp");
    for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
      WriteText(data / name, "before " + ToUtf8(name));
    }
    for (OperationMode mode : {OperationMode::Backup, OperationMode::Restore}) {
      // The restore: something for "/undo" to take back, and a client unlike the archive after it.
      auto request = Operation(mode, archive);
      ASSERT_TRUE(request->Run()) << Logged(*request);
    }
    SeedString(names::kDisplayKey, names::kListviewBitmapValue, u"b.bmp");
    WriteText(data / names::kHistoryFile, "later history");
  }

  std::unique_ptr<OperationRequest> Operation(OperationMode mode, const Text& archivePath, bool reset = false) const {
    auto request = std::make_unique<OperationRequest>(mode);
    request->DataFolder = data.Path();
    if (mode != OperationMode::Undo) request->ArchivePath = archivePath;
    request->ResetAfterBackup = reset;
    request->OtherRunWaitMilliseconds = 0;
    return request;
  }

  static std::string Logged(const OperationRequest& request) {
    std::string text;
    for (const Text& entry : request.Log.Entries()) text += ToUtf8(entry) + "\n";
    return text;
  }

  // What a refused run must leave as it was: settings, data files, undo points, archives.
  struct State {
    testing::RegistrySnapshot settings;
    std::map<Text, std::vector<uint8_t>> files;
    std::vector<Text> undoPoints;
    bool operator==(const State& other) const {
      return settings == other.settings && files == other.files && undoPoints == other.undoPoints;
    }
  };
  State Now() const {
    State state{testing::SnapshotKey(names::kClientKey), {}, ListUndoPoints(UndoFolder())};
    for (const testing::ScratchFolder* folder : {&data, &archives}) {
      std::vector<Text> names;
      EXPECT_TRUE(ListFileNames(folder->Path(), names));
      for (const Text& name : names) state.files[*folder / name] = ReadBytes(*folder / name);
    }
    return state;
  }

  testing::ScratchFolder data, archives;
  const Text archive = archives / u"backup.zip";
};

TEST_F(RunLockTest, ASecondRunIsRefusedWhileTheFirstHoldsTheLockAndProceedsAfterIt) {
  const Text refusal = LoadText(IDS_OTHER_RUN_CHANGING);
  const struct Second {
    const char* what;
    OperationMode mode;
    bool reset;
  } seconds[] = {{"a restore", OperationMode::Restore, false},
                 {"a reset", OperationMode::Reset, false},
                 {"an undo", OperationMode::Undo, false},
                 {"a backup with reset", OperationMode::Backup, true},
                 {"a plain backup", OperationMode::Backup, false}};
  // Each first run calls 'during' while it holds the lock.
  const struct First {
    const char* what;
    std::function<void(const std::function<void()>& during)> run;
  } firsts[] = {
      {"another process", [](const std::function<void()>& during) {
         RunLock other;
         ASSERT_EQ(other.Acquire(names::kRunLockName, 0), RunLock::Result::Taken);
         during();
       }},
      {"a restore", [this](const std::function<void()>& during) {
         auto first = Operation(OperationMode::Restore, archive);
         bool called = false;
         first->Progress = [&](const Text&, uint64_t, uint64_t) { return called ? true : (called = true, during(), true); };
         EXPECT_TRUE(first->Run());
         EXPECT_TRUE(called);
       }},
      {"a backup with reset", [this](const std::function<void()>& during) {
         auto first = Operation(OperationMode::Backup, archives / u"first.zip", true);
         bool called = false;
         first->Progress = [&](const Text&, uint64_t, uint64_t) { return called ? true : (called = true, during(), true); };
         EXPECT_TRUE(first->Run()) << (first->Log.Size() ? ToUtf8(first->Log.Entries()[0]) : "");
         EXPECT_TRUE(called);
         ASSERT_TRUE(RemoveFile(archives / u"first.zip"));
       }}};
  for (const First& first : firsts) {
    for (const Second& second : seconds) {
      const std::string what = std::string(second.what) + " while " + first.what + " runs";
      const Text secondArchive = second.mode == OperationMode::Backup ? archives / u"second.zip" : archive;
      // Each run starts from a whole client (a reset before may have emptied it).
      const auto whole = [&] {
        SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
        ASSERT_TRUE(Operation(OperationMode::Restore, archive)->Run()) << what;
      };
      whole();
      first.run([&] {
        const State before = Now();
        auto request = Operation(second.mode, secondArchive, second.reset);
        EXPECT_FALSE(request->Run()) << what;
        EXPECT_TRUE(Now() == before) << what << ": nothing changed, no undo point written or removed";
        ASSERT_EQ(request->Log.Size(), 1u) << what;
        EXPECT_EQ(request->Log.Entries()[0], refusal) << what;
      });
      whole();
      auto request = Operation(second.mode, secondArchive, second.reset);
      EXPECT_TRUE(request->Run()) << what << ", after it ended: " << (request->Log.Size() ? ToUtf8(request->Log.Entries()[0]) : "");
      static_cast<void>(RemoveFile(archives / u"second.zip"));
    }
  }
  // A check changes nothing and never waits.
  RunLock other;
  ASSERT_EQ(other.Acquire(names::kRunLockName, 0), RunLock::Result::Taken);
  auto verify = Operation(OperationMode::Verify, archive);
  EXPECT_TRUE(verify->Run());
}

// The second run waits for the first to end rather than failing at once.
TEST_F(RunLockTest, ARunThatEndsWhileTheSecondWaitsLetsItProceed) {
  std::atomic<int> first{0};  // 1: holds the lock, 2: could not take it
  std::thread holder([&] {
    RunLock held;
    first = held.Acquire(names::kRunLockName, 0) == RunLock::Result::Taken ? 1 : 2;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  });
  while (first == 0) std::this_thread::yield();
  EXPECT_EQ(first, 1);
  auto reset = Operation(OperationMode::Reset, Text());
  reset->OtherRunWaitMilliseconds = 60000;
  EXPECT_TRUE(reset->Run()) << (reset->Log.Size() ? ToUtf8(reset->Log.Entries()[0]) : "");
  holder.join();
  EXPECT_FALSE(FileExists(data / names::kHistoryFile));
}

}  // namespace
}  // namespace kbt
