#pragma once
// Pages whose texts are known only at run time: each text as high as it needs, one below the other.
#include <windows.h>

#include <initializer_list>

namespace kbt::ui {

// Dialog units of the page in pixels, vertically.
int DialogUnitsHigh(HWND page, int units);
// The pixels a static text control needs for its text at its width.
int TextHeight(HWND control);
// Places the shown controls one below the other from 'top' (page pixels), 'gap' apart: static
// texts as high as their texts, the others as they are. Tab and reading order follow, after
// 'after'. Returns the bottom of the last one placed, or 'top' when none is shown.
int StackControls(HWND page, std::initializer_list<int> ids, int top, int gap, HWND after);

}  // namespace kbt::ui
