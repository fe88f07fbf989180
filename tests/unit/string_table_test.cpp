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

TEST_F(LanguageTest, UsageTextIsExact) {
  platform::SetThreadLanguage(1033);
  EXPECT_EQ(platform::LoadText(IDS_USAGE),
            u"Usage: BackupTool.exe </options> [<Path>]\r\n\r\n"
            u"/reset\t\tReset settings and data.\r\n"
            u"/restore <Path>\tRestores settings and data.\r\n"
            u"/backup <Path>\tStores settings and data.\r\n"
            u"/undo\t\tGoes back to the state before the last restore, reset or undo.\r\n"
            u"/noundo\t\tWrites no undo point before a restore, reset or undo.\r\n"
            u"/ignoreinterrupted\tGoes on although an earlier operation was interrupted and its undo point is damaged.\r\n"
            u"/verify <Path>\tChecks a backup and changes nothing.\r\n"
            u"Example:\r\n"
            u"BackupTool /backup \"C:\\Document and Settings\\Administrator\\Desktop\\Backup.zip\"");
  platform::SetThreadLanguage(1031);
  EXPECT_EQ(platform::LoadText(IDS_USAGE),
            u"Verwendung: BackupTool.exe </optionen> [<Pfad>]\r\n\r\n"
            u"/reset\t\tEinstellungen zur\u00fccksetzen.\r\n"
            u"/restore <Pfad>\tEinstellungen wiederherstellen.\r\n"
            u"/backup <Pfad>\tEinstellungen sichern.\r\n"
            u"/undo\t\tKehrt zum Zustand vor der letzten Wiederherstellung, dem letzten Zur\u00fccksetzen oder "
            u"R\u00fcckg\u00e4ngigmachen zur\u00fcck.\r\n"
            u"/noundo\t\tSchreibt keinen R\u00fccksetzpunkt vor einer Wiederherstellung, einem Zur\u00fccksetzen oder "
            u"R\u00fcckg\u00e4ngigmachen.\r\n"
            u"/ignoreinterrupted\tF\u00e4hrt fort, obwohl ein fr\u00fcherer Vorgang unterbrochen wurde und sein "
            u"R\u00fccksetzpunkt besch\u00e4digt ist.\r\n"
            u"/verify <Pfad>\tPr\u00fcft eine Sicherung, ohne etwas zu \u00e4ndern.\r\n"
            u"Beispiel:\r\n"
            u"BackupTool /backup \"C:\\Dokumente und Einstellungen\\Administrator\\Desktop\\Backup.zip\"");
  EXPECT_EQ(platform::LoadText(IDS_CONFIRM_CLOSE_CAPTION), u"Schlie\u00dfen") << "umlauts must survive the build";
}

}  // namespace
}  // namespace kbt
