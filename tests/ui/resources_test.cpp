// The program's dialogs and artwork as BackupTool.exe carries them: both languages alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/win32/tool_runner.h"

namespace kbt::testing {
namespace {

struct DialogItem {
  DWORD style = 0;
  DWORD exStyle = 0;
  std::wstring windowClass;  // a name, or "#<atom>" for the predefined classes
  std::wstring text;
  int id = 0;
};

struct Dialog {
  bool found = false;
  DWORD style = 0;
  short cx = 0, cy = 0;
  std::wstring caption;
  WORD points = 0;
  std::wstring font;
  std::map<int, DialogItem> items;  // by control id; the statics without id (-1) are counted apart
  int unnamedStatics = 0;
  std::vector<DialogItem> order;  // every control, in the order of the template and of Tab
};

class Reader {
 public:
  Reader(const BYTE* data, size_t size) : p_(data), end_(data + size) {}
  template <typename T>
  T Take() {
    T value{};
    if (p_ + sizeof(T) <= end_) memcpy(&value, p_, sizeof(T));
    p_ += sizeof(T);
    return value;
  }
  std::wstring String() {
    std::wstring out;
    for (wchar_t c = Take<wchar_t>(); c != 0 && p_ <= end_; c = Take<wchar_t>()) out += c;
    return out;
  }
  std::wstring NameOrOrdinal() {
    const WORD first = Take<WORD>();
    if (first == 0) return std::wstring();
    if (first == 0xFFFF) return L"#" + std::to_wstring(Take<WORD>());
    std::wstring out(1, static_cast<wchar_t>(first));
    return out + String();
  }
  void AlignTo(size_t bytes, const BYTE* base) {
    while ((p_ - base) % bytes) ++p_;
  }
  const BYTE* Position() const { return p_; }
  bool Done() const { return p_ >= end_; }

 private:
  const BYTE* p_;
  const BYTE* end_;
};

Dialog ReadDialog(HMODULE module, int id, LANGID language) {
  Dialog dialog;
  HRSRC found = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return dialog;
  const auto* base = static_cast<const BYTE*>(::LockResource(::LoadResource(module, found)));
  Reader in(base, ::SizeofResource(module, found));
  if (in.Take<WORD>() != 1 || in.Take<WORD>() != 0xFFFF) return dialog;  // DIALOGEX only
  dialog.found = true;
  in.Take<DWORD>();  // help id
  in.Take<DWORD>();  // extended style
  dialog.style = in.Take<DWORD>();
  const WORD count = in.Take<WORD>();
  in.Take<short>();
  in.Take<short>();
  dialog.cx = in.Take<short>();
  dialog.cy = in.Take<short>();
  in.NameOrOrdinal();  // menu
  in.NameOrOrdinal();  // class
  dialog.caption = in.String();
  if (dialog.style & DS_SETFONT) {
    dialog.points = in.Take<WORD>();
    in.Take<WORD>();
    in.Take<BYTE>();
    in.Take<BYTE>();
    dialog.font = in.String();
  }
  for (WORD i = 0; i < count && !in.Done(); ++i) {
    in.AlignTo(4, base);
    DialogItem item;
    in.Take<DWORD>();  // help id
    item.exStyle = in.Take<DWORD>();
    item.style = in.Take<DWORD>();
    for (int k = 0; k < 4; ++k) in.Take<short>();
    const int controlId = static_cast<int>(in.Take<DWORD>());
    item.windowClass = in.NameOrOrdinal();
    item.text = in.NameOrOrdinal();
    const WORD extra = in.Take<WORD>();
    for (WORD k = 0; k < extra; ++k) in.Take<BYTE>();
    item.id = controlId;
    dialog.order.push_back(item);
    if (controlId == -1 || controlId == 0xFFFF) {
      ++dialog.unnamedStatics;
    } else {
      dialog.items[controlId] = item;
    }
  }
  return dialog;
}

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = ::LoadLibraryExW(ToolPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
  }
  void TearDown() override {
    if (module) ::FreeLibrary(module);
  }
  HMODULE module = nullptr;
};

constexpr LANGID kEnglish = 1033;
constexpr LANGID kGerman = 1031;

TEST_F(ProgramResources, EveryDialogExistsInBothLanguagesWithTheSameControls) {
  struct Expected {
    int id;
    short cx, cy;
    const wchar_t* english;
    const wchar_t* german;
  };
  const Expected dialogs[] = {
      {IDD_WELCOME, 318, 194, L"Kestrove Client Backup Tool", L"Kestrove Client Datensicherung"},
      {IDD_OPERATION, 317, 143, L"Kestrove Client Backup Tool - Operation", L"Kestrove Client Datensicherung - Vorgang"},
      {IDD_DATA_FOLDERS, 317, 143, L"Kestrove Client Backup Tool - Settings",
       L"Kestrove Client Datensicherung - Einstellungen"},
      {IDD_DETAILS, 317, 143, L"Kestrove Client Backup Tool - Details", L"Kestrove Client Datensicherung - Details"},
      {IDD_BACKUP_LOCATION, 317, 143, L"Kestrove Client Backup Tool - Location",
       L"Kestrove Client Datensicherung - Speicherort"},
      {IDD_RESTORE_LOCATION, 317, 143, L"Kestrove Client Backup Tool - Location",
       L"Kestrove Client Datensicherung - Speicherort"},
      {IDD_RESTORE_PREVIEW, 317, 143, L"Kestrove Client Backup Tool - Preview",
       L"Kestrove Client Datensicherung - Vorschau"},
      {IDD_COMPLETION, 317, 193, L"Kestrove Client Backup Tool - Complete",
       L"Kestrove Client Datensicherung - Vorgang abgeschlossen"},
  };
  for (const Expected& expected : dialogs) {
    const Dialog english = ReadDialog(module, expected.id, kEnglish);
    const Dialog german = ReadDialog(module, expected.id, kGerman);
    ASSERT_TRUE(english.found) << expected.id;
    ASSERT_TRUE(german.found) << expected.id;
    for (const Dialog* dialog : {&english, &german}) {
      // The German header texts need a wider sheet to fit in two lines.
      EXPECT_EQ(dialog->cx, dialog == &german ? 340 : expected.cx) << expected.id;
      EXPECT_EQ(dialog->cy, expected.cy) << expected.id;
      EXPECT_EQ(dialog->font, L"MS Shell Dlg") << expected.id;
      EXPECT_EQ(dialog->points, 8) << expected.id;
      EXPECT_EQ(dialog->style & (WS_CHILD | WS_CAPTION), static_cast<DWORD>(WS_CHILD | WS_CAPTION));
    }
    EXPECT_EQ(english.caption, expected.english);
    EXPECT_EQ(german.caption, expected.german);
    ASSERT_EQ(english.items.size(), german.items.size()) << "dialog " << expected.id;
    EXPECT_EQ(english.unnamedStatics, german.unnamedStatics) << "dialog " << expected.id;
    for (const auto& [id, item] : english.items) {
      ASSERT_EQ(german.items.count(id), 1u) << "dialog " << expected.id << " control " << id;
      const DialogItem& other = german.items.at(id);
      EXPECT_EQ(item.windowClass, other.windowClass) << "control " << id;
      EXPECT_EQ(item.style, other.style) << "control " << id;
      EXPECT_EQ(item.exStyle, other.exStyle) << "control " << id;
    }
  }
}

TEST_F(ProgramResources, ControlsCarryTheirStyles) {
  const Dialog welcome = ReadDialog(module, IDD_WELCOME, kEnglish);
  for (int link : {IDC_WEBSITE_LINK, IDC_SUPPORT_LINK}) {
    ASSERT_EQ(welcome.items.count(link), 1u);
    EXPECT_EQ(_wcsicmp(welcome.items.at(link).windowClass.c_str(), L"MySysLink"), 0);
    EXPECT_TRUE(welcome.items.at(link).style & WS_TABSTOP);
    EXPECT_TRUE(welcome.items.at(link).exStyle & WS_EX_TRANSPARENT);
  }
  EXPECT_EQ(welcome.items.at(IDC_VERSION).text, L"<version>");
  const Dialog folders = ReadDialog(module, IDD_DATA_FOLDERS, kEnglish);
  for (int field : {IDC_DATA_FOLDER, IDC_FAVORITES_FOLDER}) {
    EXPECT_TRUE(folders.items.at(field).style & ES_READONLY);
    EXPECT_TRUE(folders.items.at(field).style & ES_AUTOHSCROLL);
  }
  for (int button : {IDC_EXPLORE_DATA, IDC_EXPLORE_FAVORITES}) EXPECT_TRUE(folders.items.at(button).style & BS_ICON);
  const Dialog operation = ReadDialog(module, IDD_OPERATION, kEnglish);
  for (int hidden : {IDC_WARNING_TEXT, IDC_WARNING_ICON}) EXPECT_FALSE(operation.items.at(hidden).style & WS_VISIBLE);
  const Dialog completion = ReadDialog(module, IDD_COMPLETION, kEnglish);
  EXPECT_EQ(_wcsicmp(completion.items.at(IDC_RESULT_LIST).windowClass.c_str(), L"SysListView32"), 0);
  EXPECT_FALSE(completion.items.at(IDC_RESULT_LIST).style & WS_VISIBLE);
  EXPECT_TRUE(completion.items.at(IDC_RESULT_TEXT).style & SS_NOPREFIX);
  const Dialog german = ReadDialog(module, IDD_COMPLETION, kGerman);
  EXPECT_EQ(german.items.at(IDC_RESULT_TEXT).text, L"Der Vorgang wurde erfolgreich abgeschlossen.\n\n");
}

// The letter after '&', lower case; 0 for none.
wchar_t Mnemonic(const std::wstring& text) {
  const size_t at = text.find(L'&');
  return at == std::wstring::npos || at + 1 >= text.size() ? 0 : static_cast<wchar_t>(::towlower(text[at + 1]));
}

// Every radio button, check box and button has a mnemonic, and so has the label before every field,
// list and box (a screen reader names them by it); no two on a page, nor one of the sheet's buttons.
TEST_F(ProgramResources, EveryChoiceAndLabelHasItsOwnMnemonic) {
  const std::pair<LANGID, std::wstring> languages[] = {{kEnglish, L"bn"}, {kGerman, L"zw"}};
  for (const auto& [language, sheetLetters] : languages) {
    for (int page : {IDD_WELCOME, IDD_OPERATION, IDD_DATA_FOLDERS, IDD_DETAILS, IDD_BACKUP_LOCATION,
                     IDD_RESTORE_LOCATION, IDD_RESTORE_PREVIEW, IDD_COMPLETION}) {
      const Dialog dialog = ReadDialog(module, page, language);
      std::wstring used = sheetLetters;
      for (size_t i = 0; i < dialog.order.size(); ++i) {
        const DialogItem& item = dialog.order[i];
        const std::wstring where = L"page " + std::to_wstring(page) + L" language " + std::to_wstring(language) +
                                   L" control " + std::to_wstring(item.id) + L" " + item.text;
        const bool isButton = item.windowClass == L"#128" && (item.style & BS_TYPEMASK) != BS_GROUPBOX;
        const bool isField = item.windowClass == L"#129" || _wcsicmp(item.windowClass.c_str(), L"SysListView32") == 0;
        if (isField) {
          ASSERT_GT(i, 0u) << where;
          const DialogItem& label = dialog.order[i - 1];
          EXPECT_EQ(label.windowClass, L"#130") << "no label before " << where;
          if (!(label.style & SS_NOPREFIX)) {
            EXPECT_NE(Mnemonic(label.text), 0) << "label before " << where;
          }
        }
        if (!isButton && item.windowClass != L"#130") continue;
        const wchar_t letter = Mnemonic(item.text);
        if (isButton) {
          EXPECT_NE(letter, 0) << where;
        }
        if (letter == 0) continue;
        EXPECT_EQ(used.find(letter), std::wstring::npos) << "taken: " << where;
        used += letter;
      }
    }
  }
}

TEST_F(ProgramResources, ArtworkHasItsSizes) {
  const std::pair<int, SIZE> bitmaps[] = {{IDB_WATERMARK, {165, 315}}, {IDB_HEADER, {49, 49}}};
  for (const auto& [id, size] : bitmaps) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        ::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr) << id;
    DIBSECTION section{};
    ASSERT_NE(::GetObjectW(bitmap, sizeof section, &section), 0);
    EXPECT_EQ(section.dsBm.bmWidth, size.cx) << id;
    EXPECT_EQ(section.dsBm.bmHeight, size.cy) << id;
    EXPECT_EQ(section.dsBm.bmBitsPixel, 24) << id;
    ::DeleteObject(bitmap);
  }
  for (int id : {IDI_WARNING_TRIANGLE, IDI_FAILURE, IDI_SUCCESS_MARK, IDI_EXPLORE_FOLDER, IDI_BROWSE}) {
    HICON icon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(icon, nullptr) << id;
    ICONINFO info{};
    ASSERT_TRUE(::GetIconInfo(icon, &info));
    BITMAP colour{};
    ::GetObjectW(info.hbmColor, sizeof colour, &colour);
    EXPECT_EQ(colour.bmWidth, 16) << "icon " << id << " has a 16 x 16 picture";
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    ::DestroyIcon(icon);
  }
  EXPECT_NE(::FindResourceW(module, MAKEINTRESOURCEW(IDC_HAND_CURSOR), RT_GROUP_CURSOR), nullptr);
}

}  // namespace
}  // namespace kbt::testing
