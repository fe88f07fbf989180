#include "platform/tool_version.h"

#include <gtest/gtest.h>

#include "res/version.h"
#include "support/test_support.h"

namespace kbt {
namespace {

TEST(ToolVersionTest, ReadsTheProgramsOwnVersion) {
  Text version = u"stale";
  ASSERT_TRUE(GetToolVersion(version));
  EXPECT_EQ(version, FromUtf8(KBT_VERSION_TEXT));
}

}  // namespace
}  // namespace kbt
