#pragma once
#include <windows.h>

#include "platform/texts.h"

namespace kbt {

// A message box whose text and caption are string ids or literals, shown as they stand.
int ShowMessage(HWND owner, const TextRef& text, const TextRef& caption, UINT style);

}  // namespace kbt
