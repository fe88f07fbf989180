// One run at a time: an operation refuses to start while another holds the lock, changing nothing,
// and starts once it has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>
#include <tuple>

#include "operations/operation_request.h"
#include "operations/undo/undo_point.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/run_lock.h"
#include "platform/texts.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::SeedString;

class RunLockTest : public testing::ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
      testing::WriteText(data / name, "before");
    }
    // Something for "/undo" to take back.
    Whole(Operation(OperationMode::Backup));
  }

  std::unique_ptr<OperationRequest> Operation(OperationMode mode, const Text& archivePath = Text(), bool reset = false) {
    auto request = std::make_unique<OperationRequest>(mode);
    request->DataFolder = data.Path();
    request->ArchivePath = mode == OperationMode::Undo ? Text() : archivePath.empty() ? archive : archivePath;
    request->ResetAfterBackup = reset;
    request->OtherRunWaitMilliseconds = 0;
    return request;
  }
  // A whole client, unlike the archive, for the next run to start from (a reset may have emptied it).
  void Whole(std::unique_ptr<OperationRequest> first = nullptr) {
    SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
    for (auto& request : {std::move(first), Operation(OperationMode::Restore)}) {
      if (request) {
        ASSERT_TRUE(request->Run()) << (request->Log.Size() ? ToUtf8(request->Log.Entries()[0]) : "");
      }
    }
    SeedString(names::kDisplayKey, names::kListviewBitmapValue, u"later.bmp");
  }

  // What a refused run leaves as it was: settings, files (archives too) and undo points.
  using State = std::tuple<testing::RegistrySnapshot, std::map<Text, std::vector<uint8_t>>, std::vector<Text>>;
  State Now() const {
    State state{testing::SnapshotKey(names::kClientKey), {}, ListUndoPoints(UndoFolder())};
    for (const testing::ScratchFolder* folder : {&data, &archives}) {
      std::vector<Text> names;
      EXPECT_TRUE(ListFileNames(folder->Path(), names));
      for (const Text& name : names) std::get<1>(state)[*folder / name] = testing::ReadBytes(*folder / name);
    }
    return state;
  }

  testing::ScratchFolder data, archives;
  const Text archive = archives / u"backup.zip";
};

TEST_F(RunLockTest, ASecondRunIsRefusedWhileTheFirstHoldsTheLockAndProceedsAfterIt) {
  const struct Second {
    const char* what;
    OperationMode mode;
    bool reset;
  } seconds[] = {{"a restore", OperationMode::Restore, false},  {"a reset", OperationMode::Reset, false},
                 {"an undo", OperationMode::Undo, false},        {"a backup with reset", OperationMode::Backup, true},
                 {"a plain backup", OperationMode::Backup, false}};
  // Each first run calls 'during' while it holds the lock: another process, or a run of this one
  // under way (the progress of its archive).
  const auto midway = [this](OperationMode mode, bool reset) {
    return [this, mode, reset](const std::function<void()>& during) {
      auto first = Operation(mode, mode == OperationMode::Backup ? archives / u"first.zip" : archive, reset);
      bool called = false;
      first->Progress = [&](const Text&, uint64_t, uint64_t) { return called || (called = true, during(), true); };
      EXPECT_TRUE(first->Run() && called);
    };
  };
  const std::pair<const char*, std::function<void(const std::function<void()>&)>> firsts[] = {
      {"another process", [](const std::function<void()>& during) {
         RunLock other;
         ASSERT_EQ(other.Acquire(names::kRunLockName, 0), RunLock::Result::Taken);
         during();
       }},
      {"a restore", midway(OperationMode::Restore, false)},
      {"a backup with reset", midway(OperationMode::Backup, true)}};
  for (const auto& [firstWhat, first] : firsts) {
    for (const Second& second : seconds) {
      const std::string what = std::string(second.what) + " while " + firstWhat + " runs";
      const Text secondArchive = second.mode == OperationMode::Backup ? archives / u"second.zip" : archive;
      Whole();
      first([&] {
        const State before = Now();
        auto request = Operation(second.mode, secondArchive, second.reset);
        EXPECT_FALSE(request->Run()) << what;
        EXPECT_TRUE(Now() == before) << what << ": nothing changed, no undo point written or removed";
        EXPECT_EQ(request->Log.Entries(), std::vector<Text>{LoadText(IDS_OTHER_RUN_CHANGING)}) << what;
      });
      static_cast<void>(RemoveFile(archives / u"first.zip"));
      Whole();
      EXPECT_TRUE(Operation(second.mode, secondArchive, second.reset)->Run()) << what << ", after it ended";
      static_cast<void>(RemoveFile(archives / u"second.zip"));
    }
  }
  // A check changes nothing and never waits.
  RunLock other;
  ASSERT_EQ(other.Acquire(names::kRunLockName, 0), RunLock::Result::Taken);
  EXPECT_TRUE(Operation(OperationMode::Verify)->Run());
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
  auto reset = Operation(OperationMode::Reset);
  reset->OtherRunWaitMilliseconds = 60000;
  EXPECT_TRUE(reset->Run());
  holder.join();
  EXPECT_FALSE(testing::FileExists(data / names::kHistoryFile));
}

}  // namespace
}  // namespace kbt
