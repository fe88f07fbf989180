// What the welcome, operation, data folders and details pages show and do.
#include "platform/files.h"
#include "platform/paths.h"
#include "res/resource.h"
#include "ui/wizard_fixture.h"

namespace kbt::testing {
namespace {

// How wide the dark pixels of a text are, in pixels.
int InkWidth(const Capture& capture, const RECT& area) {
  int first = -1, last = -1;
  for (int x = area.left; x < area.right && x < capture.width; ++x) {
    for (int y = area.top; y < area.bottom && y < capture.height; ++y) {
      const uint32_t p = capture.At(x, y);
      if (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 3 * 110) {
        if (first < 0) first = x;
        last = x;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

// How tall the dark pixels of a text are, in pixels.
int InkHeight(const Capture& capture, const RECT& area) {
  int first = -1, last = -1;
  for (int y = area.top; y < area.bottom && y < capture.height; ++y) {
    for (int x = area.left; x < area.right && x < capture.width; ++x) {
      const uint32_t p = capture.At(x, y);
      if (((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255) < 3 * 110) {
        if (first < 0) first = y;
        last = y;
        break;
      }
    }
  }
  return first < 0 ? 0 : last - first + 1;
}

// The ink width of a text in the dialog font, drawn here with the given weight.
int DrawnInkWidth(const wchar_t* text, LONG weight) {
  HDC screen = ::GetDC(nullptr);
  LOGFONTW description{};
  description.lfHeight = -::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  description.lfWeight = weight;
  description.lfCharSet = DEFAULT_CHARSET;
  lstrcpyW(description.lfFaceName, L"MS Shell Dlg");
  HFONT font = ::CreateFontIndirectW(&description);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, 200, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
  HGDIOBJ oldFont = ::SelectObject(memory, font);
  RECT all{0, 0, 200, 40};
  ::FillRect(memory, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  ::SetTextColor(memory, RGB(0, 0, 0));
  ::SetBkMode(memory, TRANSPARENT);
  ::TextOutW(memory, 10, 10, text, lstrlenW(text));
  ::GdiFlush();
  Capture drawn;
  drawn.width = 200;
  drawn.height = 40;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  drawn.pixels.assign(pixels, pixels + 200 * 40);
  for (uint32_t& p : drawn.pixels) p &= 0xFFFFFF;
  ::SelectObject(memory, oldFont);
  ::SelectObject(memory, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteObject(font);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return InkWidth(drawn, all);
}

class OperationPageTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    ASSERT_TRUE(wizard.Started());
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  }
  bool WarningShown() const { return wizard.Visible(IDC_WARNING_TEXT) && wizard.Visible(IDC_WARNING_ICON); }
  bool WarningHidden() const { return !wizard.Visible(IDC_WARNING_TEXT) && !wizard.Visible(IDC_WARNING_ICON); }

  WizardSession wizard;
};

TEST_F(OperationPageTest, FirstDisplayShowsBackupWithTheBoxUncheckedAndNoWarning) {
  EXPECT_TRUE(wizard.Checked(IDC_MODE_BACKUP));
  EXPECT_FALSE(wizard.Checked(IDC_MODE_RESTORE));
  EXPECT_FALSE(wizard.Checked(IDC_MODE_RESET));
  EXPECT_TRUE(wizard.Enabled(IDC_RESET_AFTER_BACKUP));
  EXPECT_FALSE(wizard.Checked(IDC_RESET_AFTER_BACKUP));
  EXPECT_TRUE(WarningHidden());
  EXPECT_EQ(wizard.Text(IDC_MODE_BACKUP), L"Back&up");
}

TEST_F(OperationPageTest, RadioButtonsAreBold) {
  // Font handles mean nothing in another process: compare the drawn text with both weights.
  const int normal = DrawnInkWidth(L"Restore", FW_NORMAL);
  const int bold = DrawnInkWidth(L"Restore", FW_BOLD);
  ASSERT_GT(bold, normal) << "the two weights must be told apart";
  HWND radio = wizard.Control(IDC_MODE_RESTORE);
  const Capture shot = wizard.Screenshot();
  RECT label = RectWithin(radio, wizard.Sheet());
  label.left += ::GetSystemMetrics(SM_CXMENUCHECK) + 2;
  const int shown = InkWidth(shot, label);
  EXPECT_LT(std::abs(shown - bold), std::abs(shown - normal)) << "shown " << shown << ", normal " << normal
                                                               << ", bold " << bold;
}

TEST_F(OperationPageTest, ResetShowsABlinkingWarningThatEndsVisible) {
  wizard.Click(IDC_MODE_RESET);
  EXPECT_TRUE(WarningShown());
  EXPECT_FALSE(wizard.Checked(IDC_MODE_BACKUP)) << "one mode at a time";
  EXPECT_TRUE(wizard.Checked(IDC_MODE_RESET));
  EXPECT_FALSE(wizard.Enabled(IDC_RESET_AFTER_BACKUP));
  // Three blinks over 2.4 seconds: it must be seen hidden in between.
  bool seenHidden = false;
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < 2200) {
    if (WarningHidden()) seenHidden = true;
    ::Sleep(25);
  }
  EXPECT_TRUE(seenHidden);
  ::Sleep(800);
  EXPECT_TRUE(WarningShown()) << "after the blinking the warning stays";
  ::Sleep(900);
  EXPECT_TRUE(WarningShown()) << "the timer has stopped";
}

TEST_F(OperationPageTest, BackupDuringTheBlinkingHidesTheWarningAndRestoresTheBox) {
  wizard.Click(IDC_RESET_AFTER_BACKUP);
  ASSERT_TRUE(wizard.Checked(IDC_RESET_AFTER_BACKUP));
  wizard.Click(IDC_MODE_RESET);
  EXPECT_FALSE(wizard.Enabled(IDC_RESET_AFTER_BACKUP));
  EXPECT_TRUE(wizard.Checked(IDC_RESET_AFTER_BACKUP)) << "disabling does not uncheck";
  ::Sleep(500);
  wizard.Click(IDC_MODE_BACKUP);
  EXPECT_TRUE(WarningHidden());
  EXPECT_TRUE(wizard.Enabled(IDC_RESET_AFTER_BACKUP));
  EXPECT_TRUE(wizard.Checked(IDC_RESET_AFTER_BACKUP));
  ::Sleep(1000);
  EXPECT_TRUE(WarningHidden()) << "the blinking stopped with the click";
}

TEST_F(OperationPageTest, ResetTwiceRestartsFromTheShownState) {
  wizard.Click(IDC_MODE_RESET);
  ::Sleep(1000);
  wizard.Click(IDC_MODE_RESET);
  EXPECT_TRUE(WarningShown());
  ::Sleep(2900);
  EXPECT_TRUE(WarningShown());
}

TEST_F(OperationPageTest, ResetAfterBackupSurvivesRestoreWhileDisabled) {
  wizard.Click(IDC_RESET_AFTER_BACKUP);
  wizard.Click(IDC_MODE_RESTORE);
  EXPECT_FALSE(wizard.Enabled(IDC_RESET_AFTER_BACKUP));
  EXPECT_TRUE(wizard.Checked(IDC_RESET_AFTER_BACKUP));
  EXPECT_TRUE(WarningHidden());
  wizard.Click(IDC_MODE_BACKUP);
  for (int page : {IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION}) {
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(page));
  }
  // The request still asks for a reset after the backup: leaving for it needs a confirmation.
  wizard.Press(WizardButton::Next);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_EQ(box.text, L"Are you sure you want to reset all data and settings?");
  wizard.Answer(box, IDNO);
  EXPECT_EQ(wizard.PageId(), IDD_BACKUP_LOCATION);
}

TEST_F(WizardTest, DetailsPageWaitsForATickedBox) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  for (int page : {IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS}) {
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(page));
  }
  EXPECT_TRUE(wizard.Checked(IDC_INCLUDE_DATA)) << "both kinds of data by default";
  EXPECT_TRUE(wizard.Checked(IDC_INCLUDE_SETTINGS));
  EXPECT_FALSE(wizard.Visible(IDC_DETAILS_REASON));
  wizard.Click(IDC_INCLUDE_DATA);
  wizard.Click(IDC_INCLUDE_SETTINGS);
  EXPECT_EQ(wizard.EnabledButtons(), L"Back") << "an operation on nothing cannot start";
  EXPECT_TRUE(wizard.Visible(IDC_DETAILS_REASON_ICON));
  EXPECT_EQ(wizard.Text(IDC_DETAILS_REASON),
            L"Nothing is chosen. Tick the application data, the settings or both to go on.");
  wizard.Click(IDC_INCLUDE_SETTINGS);
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_FALSE(wizard.Visible(IDC_DETAILS_REASON));
  wizard.Press(WizardButton::Next);
  EXPECT_TRUE(wizard.WaitForPage(IDD_BACKUP_LOCATION));
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DETAILS));
  EXPECT_FALSE(wizard.Checked(IDC_INCLUDE_DATA)) << "the choice survives going back and forth";
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
}

TEST_F(WizardTest, DataFoldersPageShowsBothFolders) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(WizardButton::Next);
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DATA_FOLDERS));
  EXPECT_EQ(wizard.Text(IDC_DATA_FOLDER), Wide(data.Path()));
  EXPECT_EQ(wizard.Text(IDC_FAVORITES_FOLDER), Wide(favorites.Path()));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_TRUE(wizard.Enabled(IDC_EXPLORE_DATA));
  EXPECT_TRUE(wizard.Enabled(IDC_EXPLORE_FAVORITES));
  EXPECT_TRUE(::GetWindowLongW(wizard.Control(IDC_DATA_FOLDER), GWL_STYLE) & ES_READONLY);
}

TEST_F(WizardTest, MissingFavoritesFolderDisablesNextAndItsExploreButtonOnly) {
  const Text missing = favorites / u"not-yet";
  SeedString(names::kClientKey, names::kFavoritesFolderValue, missing, platform::kRegExpandSz);
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  wizard.Press(WizardButton::Next);
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DATA_FOLDERS));
  EXPECT_EQ(wizard.Text(IDC_FAVORITES_FOLDER), Wide(missing)) << "a missing folder is shown as found";
  EXPECT_EQ(wizard.EnabledButtons(), L"Back");
  EXPECT_TRUE(wizard.Enabled(IDC_EXPLORE_DATA));
  EXPECT_FALSE(wizard.Enabled(IDC_EXPLORE_FAVORITES));
  // Why, beside the folder, where its description was.
  EXPECT_FALSE(wizard.Visible(IDC_DATA_STATUS));
  EXPECT_TRUE(wizard.Visible(IDC_FAVORITES_STATUS_ICON));
  EXPECT_FALSE(wizard.Visible(IDC_FAVORITES_DESCRIPTION));
  EXPECT_EQ(wizard.Text(IDC_FAVORITES_STATUS).rfind(L"This folder does not exist, so there is nothing in it to back up", 0), 0u)
      << wizard.Text(IDC_FAVORITES_STATUS).c_str();
  // A folder created meanwhile counts on the next visit.
  ASSERT_EQ(platform::MakeDirectory(missing), platform::kSuccess);
  wizard.Press(WizardButton::Back);
  ASSERT_TRUE(wizard.WaitForPage(IDD_OPERATION));
  wizard.Press(WizardButton::Next);
  ASSERT_TRUE(wizard.WaitForPage(IDD_DATA_FOLDERS));
  EXPECT_EQ(wizard.EnabledButtons(), L"Back Next");
  EXPECT_TRUE(wizard.Enabled(IDC_EXPLORE_FAVORITES));
  EXPECT_FALSE(wizard.Visible(IDC_FAVORITES_STATUS));
  EXPECT_TRUE(wizard.Visible(IDC_FAVORITES_DESCRIPTION));
}

TEST_F(WizardTest, WelcomePageShowsTheVersionAndBothLinks) {
  WizardSession wizard;
  ASSERT_TRUE(wizard.Started());
  EXPECT_EQ(wizard.Text(IDC_VERSION), L"Version: 2.0.0.0");
  EXPECT_EQ(wizard.Text(IDC_WELCOME_TITLE), L"Kestrove Client Backup Tool");
  const std::wstring website = wizard.Text(IDC_WEBSITE_LINK);
  EXPECT_EQ(website.find(L"<a href=\"https://www.example.com/"), 0u) << website.c_str();
  EXPECT_NE(wizard.Text(IDC_SUPPORT_LINK).find(L">Kestrove Forum</a>"), std::wstring::npos);
  // The links are drawn in their blue, the title in the sheet's 12-point title font.
  const Capture shot = wizard.Screenshot();
  const int title = InkHeight(shot, RectWithin(wizard.Control(IDC_WELCOME_TITLE), wizard.Sheet()));
  const int version = InkHeight(shot, RectWithin(wizard.Control(IDC_VERSION), wizard.Sheet()));
  EXPECT_GE(title * 10, version * 14) << "title " << title << " px, version line " << version << " px";
  EXPECT_GT(shot.Count(0x0000B4, RectWithin(wizard.Control(IDC_SUPPORT_LINK), wizard.Sheet())), 10);
}

TEST_F(WizardTest, GermanWizardShowsGermanPages) {
  WizardSession wizard(L"/language=1031");
  ASSERT_TRUE(wizard.Started());
  EXPECT_EQ(wizard.Caption(), L"Kestrove Client Datensicherung");
  EXPECT_EQ(wizard.Text(IDC_VERSION), L"Programmversion: 2.0.0.0");
  const std::pair<int, const wchar_t*> captions[] = {
      {IDD_OPERATION, L"Kestrove Client Datensicherung - Vorgang"},
      {IDD_DATA_FOLDERS, L"Kestrove Client Datensicherung - Einstellungen"},
      {IDD_DETAILS, L"Kestrove Client Datensicherung - Details"},
      {IDD_BACKUP_LOCATION, L"Kestrove Client Datensicherung - Speicherort"},
  };
  for (const auto& [page, caption] : captions) {
    wizard.Press(WizardButton::Next);
    ASSERT_TRUE(wizard.WaitForPage(page));
    EXPECT_EQ(wizard.Caption(), caption);
    if (page == IDD_OPERATION) {
      EXPECT_EQ(wizard.Text(IDC_MODE_RESET), L"Daten zu&r\u00fccksetzen");
      EXPECT_EQ(wizard.Text(IDC_WARNING_TEXT),
                L"Achtung: Programmeinstellungen/Daten werden hiermit gel\u00f6scht!");
    }
    if (page == IDD_DETAILS) {
      EXPECT_EQ(wizard.Text(IDC_INCLUDE_SETTINGS), L"&Programmeinstellungen (Windows-Registrierung)");
    }
  }
  wizard.Press(WizardButton::Cancel);
  MessageBoxSeen box;
  ASSERT_TRUE(wizard.WaitForMessageBox(box));
  EXPECT_EQ(box.caption, L"Schlie\u00dfen");
  EXPECT_EQ(box.text, L"Soll das Programm wirklich beendet werden?");
  wizard.Answer(box, IDYES);
  EXPECT_EQ(wizard.WaitForExit(), 0u);
}

}  // namespace
}  // namespace kbt::testing
