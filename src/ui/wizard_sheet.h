#pragma once
// The Wizard97 property sheet: its seven pages, its two fonts and its placement.
#include <windows.h>

#include <memory>
#include <vector>

#include "operations/operation_request.h"
#include "ui/gdi_owners.h"
#include "ui/wizard_page.h"

namespace kbt::ui {

struct SheetLook {
  int headerBitmap;
  int watermarkBitmap;
  int startPage;
};

class WizardSheet {
 public:
  WizardSheet(OperationRequest& request, HINSTANCE instance, const SheetLook& look);
  ~WizardSheet();
  WizardSheet(const WizardSheet&) = delete;
  WizardSheet& operator=(const WizardSheet&) = delete;

  // Runs the wizard modally over the owner; false when it could not be shown.
  bool Run(HWND owner);

  OperationRequest& Request() { return request_; }
  HINSTANCE Instance() const { return instance_; }
  // The index of the page built from this dialog, or -1.
  int IndexOf(int dialogId) const;

  // The registered messages by which pages ask the sheet for its fonts.
  static UINT TitleFontMessage();
  static UINT BulletFontMessage();

 private:
  static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM parameter);
  static LRESULT CALLBACK SheetSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                        DWORD_PTR self);
  void OnInitialized(HWND window);
  void CentreOnce(HWND window);
  // Lays the header texts out by their fonts' heights, so that they fit at any DPI.
  void PaintHeaderTexts(HWND window) const;
  // The watermark at the screen's DPI, so that it fills the taller panel; empty at 96 DPI.
  void ScaleWatermark();

  OperationRequest& request_;
  HINSTANCE instance_;
  SheetLook look_;
  std::vector<std::unique_ptr<WizardPage>> pages_;
  UniqueFont titleFont_;
  UniqueFont bulletFont_;
  UniqueFont headerTitleFont_;
  UniqueFont headerFont_;
  UniqueBitmap watermark_;
  bool sized_ = false;
};

}  // namespace kbt::ui
