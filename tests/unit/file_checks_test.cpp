#include "operations/client/file_checks.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kbt {
namespace {

TEST(FileChecksTest, ExistingFileMeansAFileOnly) {
  testing::ScratchFolder folder;
  ASSERT_TRUE(testing::WriteText(folder / u"a.dat", "x"));
  EXPECT_TRUE(IsExistingFile(folder / u"a.dat"));
  EXPECT_FALSE(IsExistingFile(folder.Path())) << "a folder is no file";
  EXPECT_FALSE(IsExistingFile(folder / u"missing.dat"));
  EXPECT_FALSE(IsExistingFile(u""));
}

TEST(FileChecksTest, WritableFolderLeavesNoProbeBehind) {
  testing::ScratchFolder folder;
  EXPECT_TRUE(IsWritableFolder(folder.Path()));
  EXPECT_FALSE(IsWritableFolder(folder / u"missing"));
  EXPECT_TRUE(testing::FolderIsEmpty(folder.Path())) << "the probe file must be deleted";
}

TEST(FileChecksTest, ExecutableNamesAreRecognisedInAnyCase) {
  for (const char16_t* name : {u"a.exe", u"A.EXE", u"x.Bat", u"run.cmd", u"s.scr", u"l.lnk", u"lib.DLL",
                               u"p.ps1", u"v.vbs", u"j.js", u"h.hta", u"w.wsf", u"m.msi", u"c.cpl", u"evil.exe.",
                               u"evil.exe  "}) {
    EXPECT_TRUE(HasExecutableExtension(name)) << ToUtf8(name);
  }
  for (const char16_t* name : {u"list.bmp", u"queue.dat", u"favorites.dat", u"exe", u"notes.json", u"a.execute"}) {
    EXPECT_FALSE(HasExecutableExtension(name)) << ToUtf8(name);
  }
}

}  // namespace
}  // namespace kbt
