#include "archive/directory_path.h"

#include <gtest/gtest.h>

#include "archive_test_support.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace kbt {
namespace {
using platform::IsExistingFolder;
using testing::ScratchFolder;

Text Join(Text path, std::initializer_list<Text> parts) {
  for (const Text& part : parts) platform::AppendPath(path, part);
  return path;
}

TEST(CreateDirectoryPathTest, AnExistingFolderIsLeftAsItIs) {
  ScratchFolder scratch;
  ASSERT_TRUE(testing::WriteBytes(scratch / u"keep.dat", {'k'}));
  EXPECT_EQ(CreateDirectoryPath(scratch.Path()), platform::kAlreadyExists);
  EXPECT_EQ(testing::ReadBytes(scratch / u"keep.dat"), std::vector<uint8_t>{'k'});
  EXPECT_EQ(testing::ListFolder(scratch.Path()), std::vector<Text>{u"keep.dat"});
}

TEST(CreateDirectoryPathTest, AChainOfMissingFoldersIsCreated) {
  ScratchFolder scratch;
  const Text deepest = Join(scratch.Path(), {u"x", u"y", u"z"});
  EXPECT_EQ(CreateDirectoryPath(deepest), platform::kSuccess);
  EXPECT_TRUE(IsExistingFolder(scratch / u"x"));
  EXPECT_TRUE(IsExistingFolder(Join(scratch.Path(), {u"x", u"y"})));
  EXPECT_TRUE(IsExistingFolder(deepest));

  // A trailing separator names the same folder.
  Text trailing = Join(scratch.Path(), {u"p", u"q"});
  platform::AddTrailingSeparator(trailing);
  EXPECT_EQ(CreateDirectoryPath(trailing), platform::kSuccess);
  EXPECT_TRUE(IsExistingFolder(Join(scratch.Path(), {u"p", u"q"})));
}

// Grows path with components of up to 30 units until it is exactly `length` long.
Text PathOfLength(Text path, size_t length) {
  while (path.size() < length) platform::AppendPath(path, Text(std::min<size_t>(length - path.size(), 30), u'n'));
  path.resize(length);
  if (path.back() == platform::kPathSeparator) path.back() = u'n';
  return path;
}

TEST(CreateDirectoryPathTest, PathsLongerThanTheShellTakesAreWalkedWhole) {
  ScratchFolder scratch;
  for (size_t length : {size_t{259}, size_t{260}, size_t{320}}) {
    const Text path = PathOfLength(scratch / (u"parent" + FromUtf8(std::to_string(length))), length);
    EXPECT_EQ(CreateDirectoryPath(path), platform::kSuccess) << length;
    EXPECT_TRUE(IsExistingFolder(path)) << length;
  }
}

TEST(CreateDirectoryPathTest, APathBeyondTheSystemsLimitGetsOneAttemptOnly) {
  ScratchFolder scratch;
  const Text path = PathOfLength(scratch / u"parent", platform::kLongestPath + 1);
  EXPECT_NE(CreateDirectoryPath(path), platform::kSuccess);
  EXPECT_FALSE(IsExistingFolder(scratch / u"parent")) << "the parents must not be walked";
}

TEST(CreateDirectoryPathTest, PathsTooShortToWalkDoNothing) {
  EXPECT_NE(CreateDirectoryPath(u""), platform::kSuccess);
  // A one-unit name would be a folder in the current folder: it is not created.
  Text current;
  ASSERT_TRUE(platform::GetCurrentFolder(current));
  const std::vector<Text> before = testing::ListFolder(current);
  EXPECT_NE(CreateDirectoryPath(u"q"), platform::kSuccess);
  EXPECT_EQ(testing::ListFolder(current), before);
}

TEST(CreateDirectoryPathTest, AFileInTheWayIsNotReplaced) {
  ScratchFolder scratch;
  ASSERT_TRUE(testing::WriteBytes(scratch / u"file", {'f'}));
  EXPECT_NE(CreateDirectoryPath(scratch / u"file"), platform::kSuccess);
  EXPECT_NE(CreateDirectoryPath(Join(scratch.Path(), {u"file", u"below"})), platform::kSuccess);
  EXPECT_EQ(testing::ReadBytes(scratch / u"file"), std::vector<uint8_t>{'f'});
}

}  // namespace
}  // namespace kbt
