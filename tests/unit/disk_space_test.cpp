#include "platform/disk_space.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kbt {
namespace {

TEST(DiskSpaceTest, FreeBytesOfAFolderAndOfNone) {
  testing::ScratchFolder scratch;
  uint64_t bytes = 0;
  EXPECT_TRUE(platform::FreeBytes(scratch.Path(), &bytes));
  EXPECT_GT(bytes, 0u);
  bytes = 7;
  EXPECT_FALSE(platform::FreeBytes(scratch / u"missing", &bytes));
  EXPECT_FALSE(platform::FreeBytes(u"", &bytes));
  EXPECT_EQ(bytes, 7u) << "a failed query leaves the count alone";
}

}  // namespace
}  // namespace kbt
