#pragma once
// The wizard's own window messages, numbered once: no two pages may share one.
#include <windows.h>

namespace kbt::ui {

enum WindowMessage : UINT {
  kPlaceFocusMessage = WM_APP + 1,  // a page puts the focus where it belongs once it is shown
  kRunMessage,                      // the completion page runs the operation once it is shown
  kCheckedMessage,                  // the restore page's check of a typed path has finished
  kPreviewedMessage                 // the preview's plan of the restore has been made
};

}  // namespace kbt::ui
