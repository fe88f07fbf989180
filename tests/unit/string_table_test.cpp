#include <gtest/gtest.h>

#include "platform/texts.h"
#include "res/resource.h"
#include "support/test_support.h"

namespace kbt {
namespace {

class LanguageTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetThreadLanguage(1033); }
};

TEST_F(LanguageTest, BothLanguagesCarryEveryStringId) {
  for (uint32_t language : {1033u, 1031u}) {
    platform::SetThreadLanguage(language);
    for (unsigned id = 124; id <= 162; ++id) {
      if (id == 155) {
        EXPECT_TRUE(platform::LoadText(id).empty()) << "there is no string 155";
        continue;
      }
      EXPECT_FALSE(platform::LoadText(id).empty()) << "language " << language << " lacks string " << id;
    }
  }
}

// Every switch in both languages, each at the start of its own line (the e2e test sees that the
// box breaks none of them).
TEST_F(LanguageTest, UsageListsEverySwitch) {
  const char16_t* switches[] = {u"/backup <", u"/restore <", u"/reset\t", u"/verify <", u"/undo\t", u"/noundo\t",
                                u"/ignoreinterrupted\r", u"/passwordfile <", u"/log <", u"/language=<", u"/?\t"};
  for (const uint16_t language : {1033, 1031}) {
    platform::SetThreadLanguage(language);
    const Text usage = u"\n" + platform::LoadText(IDS_USAGE);
    for (const char16_t* name : switches) {
      EXPECT_NE(usage.find(u"\n" + Text(name)), Text::npos) << language << ": " << ToUtf8(name);
    }
  }
  platform::SetThreadLanguage(1031);
  EXPECT_EQ(platform::LoadText(IDS_CONFIRM_CLOSE_CAPTION), u"Schlie\u00dfen") << "umlauts must survive the build";
}

}  // namespace
}  // namespace kbt
