// One run at a time between two real processes: the tool refuses to reset while this test holds
// the lock, and resets once it has let go.
#include <gtest/gtest.h>

#include "platform/run_lock.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {
using namespace platform;

class RunLockE2E : public ClientRegistryTest {
 protected:
  ScratchFolder data;
};

TEST_F(RunLockE2E, AResetWaitsForTheHolderThenRefusesAndRunsOnceItHasEnded) {
  SeedString(names::kClientKey, names::kDataPathValue, data.Path(), kRegExpandSz);
  for (const char16_t* name : {names::kHistoryFile, names::kCustomFile, names::kFoldersFile}) {
    WriteText(data / name, "kept");
  }
  ToolOptions options;
  options.captureStandardError = true;
  {
    RunLock other;
    ASSERT_EQ(other.Acquire(names::kRunLockName, 0), RunLock::Result::Taken);
    const ToolRun refused = RunTool(L"/reset", options);
    EXPECT_EQ(refused.exitCode, 1u) << refused.standardError;
    EXPECT_NE(refused.standardError.find("Another run of the tool is changing"), std::string::npos)
        << refused.standardError;
    EXPECT_EQ(ReadBytes(data / names::kHistoryFile).size(), 4u) << "nothing was reset";
    EXPECT_TRUE(ReadValue(names::kClientKey, names::kDataPathValue).exists);
  }
  const ToolRun reset = RunTool(L"/reset", options);
  EXPECT_EQ(reset.exitCode, 0u) << reset.standardError;
  EXPECT_FALSE(FileExists(data / names::kHistoryFile));
}

}  // namespace
}  // namespace kbt::testing
