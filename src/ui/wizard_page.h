#pragma once
// The base of every wizard page: one static dialog procedure that finds the page object and
// hands the messages to its virtual handlers.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include "operations/operation_request.h"
#include "platform/texts.h"

namespace kbt::ui {

class WizardSheet;

// Overwrites a password's characters (its whole buffer) before the memory is given back, and empties it.
void Wipe(Text& text);

// The property sheet's own buttons.
constexpr int kBackButton = 0x3023;
constexpr int kNextButton = 0x3024;
constexpr int kFinishButton = 0x3025;

// One row of the sheet's page table.
struct PageDescription {
  int dialogId;
  int titleId;     // 0: no header title
  int subtitleId;  // 0: no header subtitle
  DWORD flags;     // PSP_* flags of the page
};

class WizardPage {
 public:
  WizardPage(WizardSheet& sheet, const PageDescription& description);
  virtual ~WizardPage() = default;
  WizardPage(const WizardPage&) = delete;
  WizardPage& operator=(const WizardPage&) = delete;

  // The page as the property sheet takes it; the template comes in the chosen language when it
  // has one. False when the template is missing.
  bool Describe(HINSTANCE instance, LANGID language, PROPSHEETPAGEW& page);
  int DialogId() const { return description_.dialogId; }
  HWND Window() const { return window_; }
  // The texts of the header band; empty on exterior pages.
  const Text& HeaderTitle() const { return title_; }
  const Text& HeaderSubtitle() const { return subtitle_; }

 protected:
  virtual BOOL OnInit() { return TRUE; }
  virtual void OnSetActive() {}
  // 0 goes to the neighbouring page, kStay keeps this one, otherwise the dialog id of the page to show.
  static constexpr int kStay = -1;
  virtual int OnWizNext() { return 0; }
  virtual int OnWizBack() { return 0; }
  virtual void OnCommand(int /*id*/, int /*code*/) {}
  // Any WM_NOTIFY, before the sheet notifications; true when handled, with its result.
  virtual bool OnNotify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
  // Other dialog messages; true when handled, with the dialog procedure's answer.
  virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, INT_PTR& /*answer*/) {
    return false;
  }

  // Whether closing the wizard here throws away what the user chose, and so asks first.
  virtual bool ClosingLosesChoices() const { return true; }

  // The control that takes the keyboard focus each time the page is shown; null gives it to the
  // sheet's default button.
  virtual HWND FirstFocus() const { return nullptr; }

  OperationRequest& Request();
  WizardSheet& Sheet() { return sheet_; }
  HWND SheetWindow() const { return ::GetParent(window_); }
  // The wizard's title, as the caption of its questions.
  Text SheetCaption() const;
  HWND Item(int id) const { return ::GetDlgItem(window_, id); }
  Text ItemText(int id) const;
  // The text of a password field, read without leaving a copy behind; Wipe the result after use.
  Text SecretItemText(int id) const;
  // Overwrites a password field's text, then empties it.
  void WipeItem(int id) const;
  void SetItemText(int id, const Text& text) const;
  // Posted, so that of two calls during one event the later wins.
  void SetButtons(DWORD buttons) const;
  // Asks with Yes and No, No the default, and the warning icon; true for Yes.
  bool Confirm(const TextRef& text, const TextRef& caption) const;
  // Data is deleted only once the user has agreed here; true when nothing is to be deleted.
  bool ConfirmDeletion(bool deletes) const;
  // Paints the page and what lies under it anew. The sheet draws the background of exterior pages
  // itself, so a control hidden there stays on screen until the sheet repaints.
  void RepaintNow() const;
  // Puts the focus where a page shown anew has it, once the sheet has handled what is queued.
  void PlaceFocusLater() const;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool HandleNotify(const NMHDR& header, LRESULT& result);
  void PlaceFocus() const;
  LRESULT Navigate(int target);

  WizardSheet& sheet_;
  PageDescription description_;
  Text title_;
  Text subtitle_;
  HWND window_ = nullptr;
};

}  // namespace kbt::ui
