// Inputs that once got past a guard or broke a property: each case names the fault it catches.
#include <gtest/gtest.h>

#include "operations/file_checks.h"

namespace kbt {
namespace {

TEST(HardeningRegressionsTest, AStreamSuffixDoesNotHideAnExecutable) {
  // On NTFS "evil.exe::$DATA" is evil.exe itself, and "x.exe:s" creates x.exe; a drive-relative
  // "C:evil.exe" has no separator, so the whole of it is its file-name part.
  for (const char16_t* name : {u"evil.exe::$DATA", u"evil.EXE::$data", u"evil.exe:zone", u"evil.bat:",
                               u"C:evil.exe", u"evil.cmd.::$DATA", u"list.bmp:evil.exe", u"evil.exe. :x"}) {
    EXPECT_TRUE(HasExecutableExtension(name)) << ToUtf8(name);
  }
  for (const char16_t* name : {u"list.bmp", u"list.bmp::$DATA", u"C:list.bmp", u"queue.dat:x"}) {
    EXPECT_FALSE(HasExecutableExtension(name)) << ToUtf8(name);
  }
}

}  // namespace
}  // namespace kbt
