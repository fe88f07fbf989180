#include "platform/win32/message_box_win32.h"

#include "platform/win32/wide.h"

namespace kbt {

int ShowMessage(HWND owner, const TextRef& text, const TextRef& caption, UINT style) {
  // No caller passes insert arguments, so nothing is formatted: a "%1" in a literal stays as it is.
  const Text body = text.Resolve();
  const Text title = caption.Resolve();
  return ::MessageBoxW(owner, win32::W(body), win32::W(title), style);
}

}  // namespace kbt
