// A power cut at any step of writing an undo point or of the changes after it: what the disk keeps
// is only what was flushed or written through, and the next "/undo" still reaches a whole state.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "operations/operation_request.h"
#include "operations/undo_point.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/power_cut.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;
using testing::ReadBytes;
using testing::SeedString;
using testing::WriteText;

class PowerCutTest : public testing::ClientRegistryTest {
 protected:
  void TearDown() override {
    power_cut::Remove();
    ClientRegistryTest::TearDown();
  }

  // The client before the operation: settings, three data files, no undo point.
  void Seed(const std::string& version) {
    testing::DeleteKey(names::kClientKey);
    testing::RemoveTree(FolderOf(FolderOf(UndoFolder())));  // the same steps in every run
    std::vector<Text> names;
    ASSERT_TRUE(ListFileNames(data.Path(), names));
    for (const Text& name : names) ASSERT_TRUE(RemoveFile(data / name));
    SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
    SeedString(names::kDisplayKey, names::kListviewBitmapValue, FromUtf8(version + ".bmp"));
    SeedString(u"Software\\Kestrove\\Transfer", u"Host", FromUtf8(version));
    for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
      WriteText(data / name, version + " " + ToUtf8(name));
    }
  }

  bool Run(OperationMode mode) {
    OperationRequest request(mode);
    request.DataFolder = data.Path();
    if (mode != OperationMode::Undo) request.ArchivePath = archive;
    return request.Run();
  }

  struct State {
    testing::RegistrySnapshot settings;
    std::map<Text, std::vector<uint8_t>> files;
    bool operator==(const State& other) const { return settings == other.settings && files == other.files; }
  };
  State Now() const {
    State state{testing::SnapshotKey(names::kClientKey), {}};
    std::vector<Text> names;
    EXPECT_TRUE(ListFileNames(data.Path(), names));
    for (const Text& name : names) state.files[name] = ReadBytes(data / name);
    return state;
  }

  testing::ScratchFolder data, archives;
  const Text archive = archives / u"backup.zip";
};

TEST_F(PowerCutTest, AfterACutAtAnyStepTheNextUndoReachesAWholeState) {
  Seed("archived");
  ASSERT_TRUE(Run(OperationMode::Backup));
  const struct Case {
    const char* operation;
    std::function<void()> prepare;  // from the seeded client to the state before the operation
    OperationMode mode;
  } cases[] = {{"a restore", [] {}, OperationMode::Restore},
               {"a reset", [] {}, OperationMode::Reset},
               {"an undo of a restore", [this] { ASSERT_TRUE(Run(OperationMode::Restore)); }, OperationMode::Undo}};
  for (const Case& c : cases) {
    // The steps of the operation, and its result, from a run without a cut.
    Seed("before");
    c.prepare();
    const State before = Now();
    testing::ScratchFolder stash;
    power_cut::Install(stash.Path(), 0);
    ASSERT_TRUE(Run(c.mode)) << c.operation;
    const std::vector<Text> steps = power_cut::Steps();
    power_cut::Remove();
    const State result = Now();
    ASSERT_FALSE(result == before) << c.operation;
    ASSERT_GT(steps.size(), 5u) << c.operation;

    for (size_t cut = 1; cut <= steps.size(); ++cut) {
      const std::string when = std::string(c.operation) + ", power cut at " + ToUtf8(steps[cut - 1]);
      Seed("before");
      c.prepare();
      ASSERT_TRUE(Now() == before) << when;
      testing::ScratchFolder kept;
      power_cut::Install(kept.Path(), cut);
      static_cast<void>(Run(c.mode));
      ASSERT_TRUE(power_cut::HasCut()) << when;
      power_cut::Remove();
      // The machine starts again; "/undo" is the way back the user is offered.
      static_cast<void>(Run(OperationMode::Undo));
      const State recovered = Now();
      EXPECT_TRUE(recovered == before || recovered == result) << when;
    }
  }
}

}  // namespace
}  // namespace kbt
#endif
