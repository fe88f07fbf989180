#include "ui/wizard_sheet.h"

#include "platform/texts.h"
#include "platform/win32/wide.h"
#include "res/non_localizable.h"
#include "res/resource.h"
#include "ui/pages.h"
#include "ui/placement.h"

namespace kbt::ui {
namespace {

using PageFactory = std::unique_ptr<WizardPage> (*)(WizardSheet&, const PageDescription&);

template <typename Page>
std::unique_ptr<WizardPage> Make(WizardSheet& sheet, const PageDescription& description) {
  return std::make_unique<Page>(sheet, description);
}

struct PageRow {
  PageDescription description;
  PageFactory make;
};

constexpr DWORD kExterior = PSP_HIDEHEADER;
constexpr DWORD kInterior = PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;

// The pages in the order of the sheet, which is also the default order of Next and Back.
const PageRow kPages[] = {
    {{IDD_WELCOME, 0, 0, kExterior}, Make<WelcomePage>},
    {{IDD_OPERATION, IDS_OPERATIONS_TITLE, IDS_OPERATIONS_SUBTITLE, kInterior}, Make<OperationPage>},
    {{IDD_DATA_FOLDERS, IDS_SETTINGS_TITLE, IDS_SETTINGS_SUBTITLE, kInterior}, Make<DataFoldersPage>},
    {{IDD_DETAILS, IDS_DETAILS_TITLE, IDS_DETAILS_SUBTITLE, kInterior}, Make<DetailsPage>},
    {{IDD_BACKUP_LOCATION, IDS_BACKUP_TITLE, IDS_BACKUP_SUBTITLE, kInterior}, Make<BackupLocationPage>},
    {{IDD_RESTORE_LOCATION, IDS_RESTORE_TITLE, IDS_RESTORE_SUBTITLE, kInterior}, Make<RestoreLocationPage>},
    {{IDD_COMPLETION, 0, 0, kExterior}, Make<CompletionPage>},
};

// The property sheet's callback carries no context; one wizard runs at a time.
WizardSheet* g_running = nullptr;

UniqueFont FontLike(const LOGFONTW& base, const char16_t* face, LONG weight, int points, HDC screen) {
  LOGFONTW description = base;
  const Text name(face);
  const size_t length = name.size() < LF_FACESIZE ? name.size() : LF_FACESIZE - 1;
  for (size_t i = 0; i < LF_FACESIZE; ++i) description.lfFaceName[i] = i < length ? name[i] : L'\0';
  description.lfWeight = weight;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfHeight = -::MulDiv(points, ::GetDeviceCaps(screen, LOGPIXELSY), 72);
  return UniqueFont(::CreateFontIndirectW(&description));
}

}  // namespace

WizardSheet::WizardSheet(OperationRequest& request, HINSTANCE instance, const SheetLook& look)
    : request_(request), instance_(instance), look_(look) {
  for (const PageRow& row : kPages) pages_.push_back(row.make(*this, row.description));
}

WizardSheet::~WizardSheet() {
  if (g_running == this) g_running = nullptr;
}

UINT WizardSheet::TitleFontMessage() {
  static const UINT message = ::RegisterWindowMessageW(win32::W(Text(names::kTitleFontMessage)));
  return message;
}

UINT WizardSheet::BulletFontMessage() {
  static const UINT message = ::RegisterWindowMessageW(win32::W(Text(names::kBulletFontMessage)));
  return message;
}

int WizardSheet::IndexOf(int dialogId) const {
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (pages_[i]->DialogId() == dialogId) return static_cast<int>(i);
  }
  return -1;
}

bool WizardSheet::Run(HWND owner) {
  const LANGID language = platform::ChosenLanguage();
  std::vector<PROPSHEETPAGEW> descriptions(pages_.size());
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (!pages_[i]->Describe(instance_, language, descriptions[i])) return false;
  }
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_USECALLBACK | PSH_PROPSHEETPAGE;
  header.hwndParent = owner;
  header.hInstance = instance_;
  header.nPages = static_cast<UINT>(descriptions.size());
  header.nStartPage = static_cast<UINT>(look_.startPage);
  header.ppsp = descriptions.data();
  header.pfnCallback = SheetCallback;
  header.pszbmWatermark = MAKEINTRESOURCEW(look_.watermarkBitmap);
  header.pszbmHeader = MAKEINTRESOURCEW(look_.headerBitmap);
  sized_ = false;
  g_running = this;
  const INT_PTR result = ::PropertySheetW(&header);
  g_running = nullptr;
  return result >= 0;
}

int CALLBACK WizardSheet::SheetCallback(HWND window, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && g_running) g_running->OnInitialized(window);
  return 0;
}

void WizardSheet::OnInitialized(HWND window) {
  HFONT dialogFont = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW base{};
  if (dialogFont && ::GetObjectW(dialogFont, sizeof base, &base) != 0) {
    if (HDC screen = ::GetDC(nullptr)) {
      titleFont_ = FontLike(base, names::kTitleFontFace, FW_BOLD, 12, screen);
      bulletFont_ = FontLike(base, names::kBulletFontFace, FW_NORMAL, 8, screen);
      ::ReleaseDC(nullptr, screen);
    }
  }
  ::SetWindowSubclass(window, SheetSubclass, 0, reinterpret_cast<DWORD_PTR>(this));
}

void WizardSheet::CentreOnce(HWND window) {
  if (sized_) return;
  sized_ = true;
  RECT workArea{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
  RECT over = workArea;
  HWND owner = ::GetWindow(window, GW_OWNER);
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &over);
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  const POINT origin = CentredOrigin(bounds, over, workArea);
  ::SetWindowPos(window, nullptr, origin.x, origin.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK WizardSheet::SheetSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) {
  auto* sheet = reinterpret_cast<WizardSheet*>(self);
  if (message == 0) return ::DefSubclassProc(window, message, wParam, lParam);
  if (message == TitleFontMessage()) return reinterpret_cast<LRESULT>(sheet->titleFont_.Get());
  if (message == BulletFontMessage()) return reinterpret_cast<LRESULT>(sheet->bulletFont_.Get());
  // Some property sheets reach their final size before they report their initialisation; they
  // are centred when first shown instead.
  if (message == WM_SIZE || (message == WM_SHOWWINDOW && wParam)) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    sheet->CentreOnce(window);
    return result;
  }
  if (message == PSM_SETWIZBUTTONS) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    // Without Next or Finish the sheet makes Back the default, and Enter in a field would go back:
    // the disabled Next stays the default, so Enter does nothing.
    if ((lParam & (PSWIZB_NEXT | PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) == 0) ::SendMessageW(window, DM_SETDEFID, kNextButton, 0);
    return result;
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(window, SheetSubclass, 0);
  return ::DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kbt::ui
