#include <gtest/gtest.h>

#include "operations/backup/backup_target.h"
#include "support/test_support.h"

namespace kbt {
namespace {

// The spelling a backup's path is judged by before the wizard lets it through: the name at fault
// is the one the message quotes.
TEST(ArchiveNameTest, NamesNoFileCanHaveAreTold) {
  const struct Case {
    const char16_t* path;
    const char16_t* message;  // empty: the name is fine
  } cases[] = {
      {u"C:\\bk\\backup.zip", u""},
      {u"\\\\?\\C:\\bk\\backup.zip", u""},
      {u"\\\\server\\share\\a b\\backup 1.zip", u""},
      {u"C:\\bk\\..\\.\\backup.zip", u""},
      {u"C:\\bk\\console.zip", u""},
      {u"C:\\bk\\com0.zip", u""},
      {u"C:\\bk\\a?b.zip", u"The name \"a?b.zip\" contains \"?\", which no file or folder name can contain."},
      {u"C:\\b*k\\backup.zip", u"The name \"b*k\" contains \"*\""},
      {u"C:\\bk\\a:b.zip", u"The name \"a:b.zip\" contains \":\""},
      {u"C:\\bk\\a|b<c>.zip", u"contains \"|\""},
      {u"C:\\bk\\tab\there.zip", u"contains \"U+0009\""},
      {u"C:\\bk\\NUL.zip", u"\"NUL.zip\" is a name Windows keeps for a device"},
      {u"C:\\bk\\com1", u"\"com1\" is a name Windows keeps for a device"},
      {u"C:\\lpt9 \\b.zip", u"\"lpt9 \" is a name Windows keeps for a device"},
      {u"C:\\bk\\backup.zip.", u"The name \"backup.zip.\" ends in a dot or a space"},
      {u"C:\\bk \\backup.zip", u"The name \"bk \" ends in a dot or a space"},
  };
  for (const Case& c : cases) {
    const Text problem = ArchiveNameProblem(c.path);
    if (*c.message == u'\0') {
      EXPECT_EQ(problem, u"") << ToUtf8(c.path);
    } else {
      EXPECT_NE(problem.find(c.message), Text::npos) << ToUtf8(c.path) << ": " << ToUtf8(problem);
    }
  }
}

}  // namespace
}  // namespace kbt
