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
  CommandLine line;
  explicit Parsed(const Text& tail) {
    line = ParseCommandLine(tail, request, [this]() { ++usageBoxes; });
  }
};

struct ParseCase {
  const char16_t* tail;
  OperationMode mode;
  const char16_t* path;
  bool unattended;
  const char16_t* problem;  // empty when the command line is understood
  const char16_t* logPath;
};

class ParseCommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCommandLineTest, FillsTheRequestOrSaysWhatIsNotUnderstood) {
  const ParseCase& expected = GetParam();
  const Parsed parsed(expected.tail);
  const std::string tail = ToUtf8(expected.tail);
  EXPECT_EQ(parsed.line.problem, Text(expected.problem)) << tail;
  EXPECT_EQ(parsed.line.logPath, Text(expected.logPath)) << tail;
  if (*expected.problem) return;
  EXPECT_EQ(parsed.request.GetMode(), expected.mode) << tail;
  EXPECT_EQ(parsed.request.ArchivePath, Text(expected.path)) << tail;
  EXPECT_EQ(parsed.request.IsUnattended(), expected.unattended) << tail;
}

constexpr auto kBackup = OperationMode::Backup;
constexpr auto kRestore = OperationMode::Restore;
constexpr auto kReset = OperationMode::Reset;

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCommandLineTest,
    ::testing::Values(
        ParseCase{u"", kBackup, u"", false, u"", u""},
        ParseCase{u"/BACKUP c:\\b.zip", kBackup, u"c:\\b.zip", true, u"", u""},
        // Without a path the wizard opens with that operation chosen.
        ParseCase{u"/restore", kRestore, u"", false, u"", u""},
        ParseCase{u"/backup x.zip /restore", kRestore, u"x.zip", true, u"", u""},
        // A switch is never taken for a path.
        ParseCase{u"/backup /reset", kReset, u"", true, u"", u""},
        ParseCase{u"/verify", OperationMode::Verify, u"", true, u"", u""},
        ParseCase{u"/log \"C:\\my logs\\kbt.log\" /reset", kReset, u"", true, u"", u"C:\\my logs\\kbt.log"},
        ParseCase{u"/backupx c:\\b.zip", kBackup, u"", false, u"The option \"/backupx\" is unknown.", u""},
        ParseCase{u"-backup c:\\b.zip", kBackup, u"", false, u"The option \"-backup\" is unknown.", u""},
        ParseCase{u"/reset c:\\b.zip", kReset, u"", false,
                  u"\"c:\\b.zip\" is no option, and no option before it takes a path.", u""},
        ParseCase{u"b.zip", kBackup, u"", false, u"\"b.zip\" is no option, and no option before it takes a path.", u""},
        ParseCase{u"/backup x.zip /log", kBackup, u"", false, u"The option /log needs a path after it.", u""},
        ParseCase{u"/log /backup x.zip", kBackup, u"", false, u"The option /log needs a path after it.", u""},
        ParseCase{u"/language=fr /backup x.zip", kBackup, u"", false, u"The language \"fr\" is unknown: use en or de.", u""},
        ParseCase{u"/language=0", kBackup, u"", false, u"The language \"0\" is unknown: use en or de.", u""},
        ParseCase{u"/language", kBackup, u"", false, u"The option \"/language\" is unknown.", u""}));

TEST(ParseCommandLineDetailTest, UsageBoxIsShownForEveryQuestionMarkBeforeAProblem) {
  Parsed twice(u"/? /backup a.zip /?");
  EXPECT_EQ(twice.usageBoxes, 2);
  EXPECT_TRUE(twice.line.usageShown);

  Parsed none(u"/backup a.zip");
  EXPECT_FALSE(none.line.usageShown);

  Parsed stopped(u"/? /frobnicate /?");
  EXPECT_EQ(stopped.usageBoxes, 1) << "nothing after the first argument not understood is carried out";
  EXPECT_FALSE(stopped.line.problem.empty());
}

TEST(ParseCommandLineDetailTest, LanguageOptionSwitchesTheTextsThatFollow) {
  Text before, after;
  OperationRequest request(OperationMode::Backup);
  ParseCommandLine(u"/? /language=1031 /?", request, [&]() {
    (before.empty() ? before : after) = platform::LoadText(158);
  });
  EXPECT_EQ(before, u"Usage of command line commands");
  EXPECT_EQ(after, u"Verwendung der Kommandozeilenparameter");

  const Text english = u"Usage of command line commands", german = u"Verwendung der Kommandozeilenparameter";
  const std::pair<const char16_t*, const Text*> choices[] = {
      {u"/LANGUAGE=0x409", &english}, {u"/language=02007", &german}, {u"/language=en", &english},
      {u"/language=DE", &german},     {u"/Language=En", &english},   {u"/language=2055", &german},
      {u"/language=2057", &english},
  };
  for (const auto& [tail, language] : choices) {
    EXPECT_TRUE(ParseCommandLine(tail, request, [] {}).problem.empty()) << ToUtf8(tail);
    EXPECT_EQ(platform::LoadText(158), *language) << ToUtf8(tail);
  }
  EXPECT_FALSE(ParseCommandLine(u"/language=german", request, [] {}).problem.empty());
  EXPECT_EQ(platform::LoadText(158), english) << "an unknown language changes nothing";
  platform::SetThreadLanguage(1033);
}

TEST(CommandLineForLogTest, QuotesWhatHoldsABlank) {
  EXPECT_EQ(CommandLineForLog(u"  /backup   \"C:\\My Files\\b.zip\" /noundo \"\""),
            u"/backup \"C:\\My Files\\b.zip\" /noundo \"\"");
}

}  // namespace
}  // namespace kbt
