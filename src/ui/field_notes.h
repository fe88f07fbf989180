#pragma once
// What a page says beside a field: why it holds Next back, in a static text that screen readers
// read, with the failure icon where the text reports a fault; and tooltips for the buttons that
// show only an icon.
#include <windows.h>

#include "platform/text.h"
#include "ui/gdi_owners.h"

namespace kbt::ui {

class FieldNote {
 public:
  FieldNote(int textId, int iconId) : textId_(textId), iconId_(iconId) {}
  // An empty text hides the note; 'fault' shows the failure icon beside it.
  void Show(HWND page, const Text& text, bool fault);
  bool Shown() const { return shown_; }

 private:
  int textId_, iconId_;
  UniqueIcon icon_;
  bool shown_ = false;
};

// One tooltip control for a page; each button's tip is its own text without the mnemonic, which
// is also the name a screen reader gives the button.
class ButtonTips {
 public:
  ButtonTips() = default;
  ~ButtonTips();
  ButtonTips(const ButtonTips&) = delete;
  ButtonTips& operator=(const ButtonTips&) = delete;
  void Add(HWND page, HWND button);

 private:
  HWND tips_ = nullptr;
};

}  // namespace kbt::ui
