#include "app/tool_version.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kbt {
namespace {

TEST(ToolVersionTest, ReadsTheProgramsOwnVersion) {
  Text version = u"stale";
  ASSERT_TRUE(GetToolVersion(version));
  EXPECT_EQ(version, u"2.0.0.0");
}

}  // namespace
}  // namespace kbt
