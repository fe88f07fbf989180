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

// Every switch in both languages, in lines short enough that the box never wraps them: a
// switch too long for its column has its text on the next line.
TEST_F(LanguageTest, UsageTextIsExact) {
  platform::SetThreadLanguage(1033);
  EXPECT_EQ(platform::LoadText(IDS_USAGE),
            u"Usage: BackupTool.exe <operation> [<options>]\r\n\r\n"
            u"Operations:\r\n"
            u"/backup <Path>\tBacks up settings and data files into <Path>.\r\n"
            u"/restore <Path>\tRestores settings and data files from <Path>.\r\n"
            u"/reset\t\tDeletes the client's settings and data files.\r\n"
            u"/verify <Path>\tChecks a backup file and changes nothing.\r\n"
            u"/undo\t\tGoes back to the newest undo point.\r\n"
            u"/backup or /restore without <Path> opens the wizard.\r\n\r\n"
            u"Options:\r\n"
            u"/noundo\t\tWrites no undo point before the operation.\r\n"
            u"/ignoreinterrupted\r\n\t\tGoes on although an interrupted operation\r\n\t\tleft a damaged undo point.\r\n"
            u"/passwordfile <Path>\r\n\t\tTakes the backup's password from the first\r\n\t\tline of the file <Path>.\r\n"
            u"/log <Path>\tWrites the record of the run into <Path>.\r\n"
            u"/language=<Language>\r\n\t\ten or de (or 1033, 1031): English or German texts.\r\n"
            u"/?\t\tShows this help.\r\n\r\n"
            u"Example:\r\n"
            u"BackupTool /backup \"C:\\Document and Settings\\Administrator\\Desktop\\Backup.zip\"");
  platform::SetThreadLanguage(1031);
  EXPECT_EQ(platform::LoadText(IDS_USAGE),
            u"Verwendung: BackupTool.exe <Vorgang> [<Optionen>]\r\n\r\n"
            u"Vorg\u00e4nge:\r\n"
            u"/backup <Pfad>\tSichert Einstellungen und Datendateien in <Pfad>.\r\n"
            u"/restore <Pfad>\tStellt Einstellungen und Datendateien aus <Pfad> wieder her.\r\n"
            u"/reset\t\tL\u00f6scht die Einstellungen und Datendateien des Clients.\r\n"
            u"/verify <Pfad>\tPr\u00fcft eine Sicherungsdatei, ohne etwas zu \u00e4ndern.\r\n"
            u"/undo\t\tKehrt zum neuesten R\u00fccksetzpunkt zur\u00fcck.\r\n"
            u"/backup oder /restore ohne <Pfad> \u00f6ffnet den Assistenten.\r\n\r\n"
            u"Optionen:\r\n"
            u"/noundo\t\tSchreibt vor dem Vorgang keinen R\u00fccksetzpunkt.\r\n"
            u"/ignoreinterrupted\r\n\t\tF\u00e4hrt fort, obwohl ein unterbrochener Vorgang\r\n"
            u"\t\teinen besch\u00e4digten R\u00fccksetzpunkt hinterlie\u00df.\r\n"
            u"/passwordfile <Pfad>\r\n\t\tNimmt das Kennwort der Sicherung aus der ersten\r\n\t\tZeile der Datei <Pfad>.\r\n"
            u"/log <Pfad>\tSchreibt das Protokoll des Laufs nach <Pfad>.\r\n"
            u"/language=<Sprache>\r\n\t\ten oder de (oder 1033, 1031): englische oder deutsche Texte.\r\n"
            u"/?\t\tZeigt diese Hilfe.\r\n\r\n"
            u"Beispiel:\r\n"
            u"BackupTool /backup \"C:\\Dokumente und Einstellungen\\Administrator\\Desktop\\Backup.zip\"");
  EXPECT_EQ(platform::LoadText(IDS_CONFIRM_CLOSE_CAPTION), u"Schlie\u00dfen") << "umlauts must survive the build";
}

}  // namespace
}  // namespace kbt
