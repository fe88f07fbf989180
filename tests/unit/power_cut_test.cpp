// A power cut at any step of writing an undo point or of the changes after it: the disk keeps only
// what was flushed or written through, and the next "/undo" still reaches a whole state.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "operations/operation_request.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/paths.h"
#include "platform/power_cut.h"
#include "res/non_localizable.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using namespace platform;

class PowerCutTest : public testing::ClientRegistryTest {
 protected:
  void TearDown() override {
    power_cut::Remove();
    ClientRegistryTest::TearDown();
  }
  // The same client, and no undo folder, so that every run takes the same steps.
  void Seed(const std::string& version) {
    testing::DeleteKey(names::kClientKey);
    testing::RemoveTree(FolderOf(FolderOf(UndoFolder())));
    testing::RemoveTree(data.Path());
    ASSERT_EQ(MakeDirectory(data.Path()), kSuccess);
    testing::SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
    testing::SeedString(u"Software\\Kestrove\\Transfer", u"Host", FromUtf8(version));
    for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
      testing::WriteText(data / name, version);
    }
  }
  bool Run(OperationMode mode) {
    OperationRequest request(mode);
    request.DataFolder = data.Path();
    if (mode != OperationMode::Undo) request.ArchivePath = archives / u"backup.zip";
    return request.Run();
  }
  std::pair<testing::RegistrySnapshot, std::map<Text, std::vector<uint8_t>>> Now() const {
    std::vector<Text> names;
    EXPECT_TRUE(ListFileNames(data.Path(), names));
    std::map<Text, std::vector<uint8_t>> files;
    for (const Text& name : names) files[name] = testing::ReadBytes(data / name);
    return {testing::SnapshotKey(names::kClientKey), files};
  }

  testing::ScratchFolder data, archives;
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
    // The steps and the result of a run without a cut.
    Seed("before");
    c.prepare();
    const auto before = Now();
    testing::ScratchFolder stash;
    power_cut::Install(stash.Path(), 0);
    ASSERT_TRUE(Run(c.mode)) << c.operation;
    const std::vector<Text> steps = power_cut::Steps();
    power_cut::Remove();
    const auto result = Now();
    ASSERT_NE(result, before) << c.operation;

    for (size_t cut = 1; cut <= steps.size(); ++cut) {
      const std::string when = std::string(c.operation) + ", power cut at " + ToUtf8(steps[cut - 1]);
      Seed("before");
      c.prepare();
      testing::ScratchFolder kept;
      power_cut::Install(kept.Path(), cut);
      static_cast<void>(Run(c.mode));
      ASSERT_TRUE(power_cut::HasCut()) << when;
      power_cut::Remove();
      // The machine starts again; "/undo" is the way back the user is offered.
      static_cast<void>(Run(OperationMode::Undo));
      const auto recovered = Now();
      EXPECT_TRUE(recovered == before || recovered == result) << when;
    }
  }
}

}  // namespace
}  // namespace kbt
#endif
