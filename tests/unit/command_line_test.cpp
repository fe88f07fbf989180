#include "app/command_line.h"

#include <gtest/gtest.h>

#include "platform/texts.h"
#include "support/test_support.h"

namespace kbt {
namespace {

struct SplitCase {
  const char16_t* tail;
  std::vector<Text> expected;
  const char* fault;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, SplitsAsTheSystemDoes) {
  EXPECT_EQ(SplitCommandLine(GetParam().tail), GetParam().expected) << GetParam().fault;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitCommandLineTest,
    ::testing::Values(
        SplitCase{u"", {}, "empty tail must give no arguments"},
        SplitCase{u"    ", {}, "blanks alone must give no arguments"},
        SplitCase{u"/backup \"C:\\My Files\\b.zip\"", {u"/backup", u"C:\\My Files\\b.zip"}, "quotes must group blanks"},
        SplitCase{u"\"a\"b", {u"a", u"b"}, "a character after the closing quote starts a new argument"},
        SplitCase{u"\"open ended", {u"open ended"}, "an unclosed quote runs to the end"},
        SplitCase{u"\"\"", {u""}, "a pair of quotes is an empty argument"},
        SplitCase{u"a\"b c", {u"a\"b", u"c"}, "quotes inside a plain argument are ordinary"},
        SplitCase{u"a\tb", {u"a\tb"}, "only the space separates"},
        SplitCase{u"a\\\"b\"", {u"a\\\"b\""}, "a backslash escapes nothing"},
        SplitCase{u"  x   y  ", {u"x", u"y"}, "runs of blanks separate once"}));

struct LanguageCase {
  const char16_t* text;
  int32_t expected;
};

class LanguageNumberTest : public ::testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageNumberTest, ReadsLikeStrtolWithAutomaticBase) {
  EXPECT_EQ(ParseLanguageNumber(GetParam().text), GetParam().expected) << ToUtf8(GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LanguageNumberTest,
    ::testing::Values(LanguageCase{u"1031", 1031}, LanguageCase{u"0x407", 1031}, LanguageCase{u"0X407", 1031},
                      LanguageCase{u"02007", 1031}, LanguageCase{u"  +1033", 1033}, LanguageCase{u"-5", -5},
                      LanguageCase{u"12abc", 12}, LanguageCase{u"", 0}, LanguageCase{u"abc", 0},
                      LanguageCase{u"08", 0}, LanguageCase{u"0x", 0}, LanguageCase{u"99999999999", INT32_MAX},
                      LanguageCase{u"-99999999999", INT32_MIN}, LanguageCase{u"-2147483648", INT32_MIN},
                      LanguageCase{u"0x1FFFF0407", INT32_MAX}));

struct Parsed {
  OperationRequest request{OperationMode::Backup};
  int usageBoxes = 0;
  bool usageReported = false;
  explicit Parsed(const Text& tail) {
    usageReported = ParseCommandLine(tail, request, [this]() { ++usageBoxes; });
  }
};

TEST(ParseCommandLineTest, OptionsSetModePathAndUnattended) {
  Parsed backup(u"/BACKUP c:\\b.zip");
  EXPECT_EQ(backup.request.GetMode(), OperationMode::Backup);
  EXPECT_EQ(backup.request.ArchivePath, u"c:\\b.zip");
  EXPECT_TRUE(backup.request.IsUnattended());

  Parsed ignored(u"/backupx c:\\b.zip");
  EXPECT_FALSE(ignored.request.IsUnattended());
  EXPECT_TRUE(ignored.request.ArchivePath.empty());

  Parsed lastWithoutPath(u"/restore");
  EXPECT_EQ(lastWithoutPath.request.GetMode(), OperationMode::Restore);
  EXPECT_FALSE(lastWithoutPath.request.IsUnattended()) << "no path: the wizard must start";
}

TEST(ParseCommandLineTest, EveryArgumentIsVisitedAndTheLastOptionWins) {
  Parsed restoreLast(u"/backup x.zip /restore");
  EXPECT_EQ(restoreLast.request.GetMode(), OperationMode::Restore);
  EXPECT_EQ(restoreLast.request.ArchivePath, u"x.zip");
  EXPECT_TRUE(restoreLast.request.IsUnattended());

  Parsed pathIsOption(u"/backup /reset");
  EXPECT_EQ(pathIsOption.request.ArchivePath, u"/reset");
  EXPECT_EQ(pathIsOption.request.GetMode(), OperationMode::Reset) << "the path argument is also tested as an option";

  Parsed resetWithPath(u"/reset c:\\ignored.zip");
  EXPECT_EQ(resetWithPath.request.GetMode(), OperationMode::Reset);
  EXPECT_TRUE(resetWithPath.request.ArchivePath.empty());
  EXPECT_TRUE(resetWithPath.request.IsUnattended());
}

TEST(ParseCommandLineTest, UsageBoxIsShownForEveryQuestionMark) {
  Parsed twice(u"/? /backup a.zip /?");
  EXPECT_EQ(twice.usageBoxes, 2);
  EXPECT_TRUE(twice.usageReported);

  Parsed none(u"/backup a.zip");
  EXPECT_EQ(none.usageBoxes, 0);
  EXPECT_FALSE(none.usageReported);

  Parsed empty(u"");
  EXPECT_FALSE(empty.usageReported);
  EXPECT_EQ(empty.request.GetMode(), OperationMode::Backup);
  EXPECT_FALSE(empty.request.IsUnattended());
}

TEST(ParseCommandLineTest, LanguageOptionSwitchesTheTextsThatFollow) {
  Text before, after;
  OperationRequest request(OperationMode::Backup);
  ParseCommandLine(u"/? /language=1031 /?", request, [&]() {
    (before.empty() ? before : after) = platform::LoadText(158);
  });
  EXPECT_EQ(before, u"Usage of command line commands");
  EXPECT_EQ(after, u"Verwendung der Kommandozeilenparameter");

  ParseCommandLine(u"/LANGUAGE=0x409", request, [] {});
  EXPECT_EQ(platform::LoadText(158), u"Usage of command line commands");
  ParseCommandLine(u"/language=02007", request, [] {});
  EXPECT_EQ(platform::LoadText(139), u"Schlie\u00dfen");
  ParseCommandLine(u"/language=0", request, [] {});
  EXPECT_EQ(platform::LoadText(139), u"Schlie\u00dfen") << "a value that is no locale changes nothing";
  platform::SetThreadLanguage(1033);
}

}  // namespace
}  // namespace kbt
