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
    {{IDD_RESTORE_PREVIEW, IDS_PREVIEW_TITLE, IDS_PREVIEW_SUBTITLE, kInterior}, Make<RestorePreviewPage>},
    {{IDD_COMPLETION, 0, 0, kExterior}, Make<CompletionPage>},
};

// The sheet's own line under the header band, and the room it keeps right of the texts for the
// header bitmap.
constexpr int kHeaderLine = 0x3027;
constexpr int kHeaderBitmapRoom = 69;

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
  ScaleWatermark();
  if (watermark_) {
    header.dwFlags |= PSH_USEHBMWATERMARK;
    header.hbmWatermark = watermark_.Get();
  } else {
    header.pszbmWatermark = MAKEINTRESOURCEW(look_.watermarkBitmap);
  }
  header.pszbmHeader = MAKEINTRESOURCEW(look_.headerBitmap);
  sized_ = false;
  g_running = this;
  const INT_PTR result = ::PropertySheetW(&header);
  g_running = nullptr;
  // However the wizard ended (a cancel included), a typed password does not outlive it.
  Wipe(request_.Password);
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
      // The header texts in the sheet's own header fonts: the icon title font, bold for titles.
      LOGFONTW iconTitle{};
      if (::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof iconTitle, &iconTitle, 0)) {
        headerFont_ = UniqueFont(::CreateFontIndirectW(&iconTitle));
        headerTitleFont_ = BoldLike(iconTitle, win32::W(Text(names::kTitleFontFace)));
      }
      ::ReleaseDC(nullptr, screen);
    }
  }
  ::SetWindowSubclass(window, SheetSubclass, 0, reinterpret_cast<DWORD_PTR>(this));
}

void WizardSheet::ScaleWatermark() {
  HDC screen = ::GetDC(nullptr);
  if (!screen) return;
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  auto original = UniqueBitmap(static_cast<HBITMAP>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(look_.watermarkBitmap), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP size{};
  if (dpi > 96 && original && ::GetObjectW(original.Get(), sizeof size, &size) != 0) {
    // The panel grows in height only, so the picture keeps its width: growing it by the DPI would
    // cut the emblem's arrowheads off at the sides. The emblem stays as drawn; the rows below it,
    // which hold only the gradient, stretch to the new height.
    const int width = size.bmWidth;
    const int height = ::MulDiv(size.bmHeight, dpi, 96);
    const int belowEmblem = size.bmHeight * 2 / 3;
    HDC from = ::CreateCompatibleDC(screen);
    HDC to = ::CreateCompatibleDC(screen);
    UniqueBitmap scaled(::CreateCompatibleBitmap(screen, width, height));
    if (from && to && scaled) {
      HGDIOBJ oldFrom = ::SelectObject(from, original.Get());
      HGDIOBJ oldTo = ::SelectObject(to, scaled.Get());
      ::SetStretchBltMode(to, HALFTONE);
      ::SetBrushOrgEx(to, 0, 0, nullptr);
      const bool drawn = ::BitBlt(to, 0, 0, width, belowEmblem, from, 0, 0, SRCCOPY) != FALSE &&
                         ::StretchBlt(to, 0, belowEmblem, width, height - belowEmblem, from, 0, belowEmblem, width,
                                      size.bmHeight - belowEmblem, SRCCOPY) != FALSE;
      ::SelectObject(from, oldFrom);
      ::SelectObject(to, oldTo);
      if (drawn) watermark_ = std::move(scaled);
    }
    if (from) ::DeleteDC(from);
    if (to) ::DeleteDC(to);
  }
  ::ReleaseDC(nullptr, screen);
}

void WizardSheet::PaintHeaderTexts(HWND window) const {
  HWND shown = PropSheet_GetCurrentPageHwnd(window);
  const WizardPage* page = nullptr;
  for (const auto& candidate : pages_) {
    if (candidate->Window() == shown && shown) page = candidate.get();
  }
  HWND line = ::GetDlgItem(window, kHeaderLine);
  if (!page || page->HeaderTitle().empty() || !line || !::IsWindowVisible(line) || !headerTitleFont_ ||
      !headerFont_) {
    return;
  }
  RECT band{};
  ::GetWindowRect(line, &band);
  ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&band), 2);
  HDC dc = ::GetDC(window);
  if (!dc) return;
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  const RECT texts{0, 0, band.right + 1 - kHeaderBitmapRoom, band.top};
  // Over the sheet's own drawing of the texts, in the band's own colour.
  const UniqueBrush background(::CreateSolidBrush(::GetPixel(dc, 2, 2)));
  if (background) ::FillRect(dc, &texts, background.Get());
  const int oldMode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ oldFont = ::SelectObject(dc, headerTitleFont_.Get());
  const Text& title = page->HeaderTitle();
  RECT titleArea{::MulDiv(20, dpi, 96), ::MulDiv(10, dpi, 96), texts.right, texts.bottom};
  ::DrawTextW(dc, win32::W(title), static_cast<int>(title.size()), &titleArea,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  const int below = titleArea.top + metrics.tmHeight + 1;
  ::SelectObject(dc, headerFont_.Get());
  const Text& subtitle = page->HeaderSubtitle();
  RECT subtitleArea{::MulDiv(40, dpi, 96), below > ::MulDiv(25, dpi, 96) ? below : ::MulDiv(25, dpi, 96), texts.right,
                    texts.bottom};
  ::DrawTextW(dc, win32::W(subtitle), static_cast<int>(subtitle.size()), &subtitleArea,
              DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColour);
  ::SetBkMode(dc, oldMode);
  ::ReleaseDC(window, dc);
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
  if (message == WM_PAINT) {
    const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
    sheet->PaintHeaderTexts(window);
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
