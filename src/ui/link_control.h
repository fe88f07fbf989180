#pragma once
// "MySysLink": one underlined link taken from a small anchor markup. It keeps all of its state
// in window properties and tells its parent about a click with an NMLINK notification.
#include <windows.h>

#include <string>

namespace kbt::ui {

// Room of the control's stored markup and of its work buffers, terminator included.
constexpr size_t kLinkTextCapacity = 260;

struct LinkMarkup {
  std::wstring display;  // what the control shows
  std::wstring target;   // what a click hands to the parent
};

// <a href="target">display</a> or <a id="target">display</a>; a text without "<a " is shown whole.
LinkMarkup ParseLinkMarkup(const std::wstring& markup);

// Registers the window class once per process; false when the system refuses it.
bool RegisterLinkControl(HINSTANCE instance);

}  // namespace kbt::ui
