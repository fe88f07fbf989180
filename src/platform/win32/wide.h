#pragma once
// char16_t and wchar_t are both UTF-16 units on Windows.
#include <windows.h>

#include "platform/text.h"

namespace kbt::win32 {

inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline Text FromW(const wchar_t* text) { return text ? Text(reinterpret_cast<const char16_t*>(text)) : Text(); }
inline Text FromW(const wchar_t* text, size_t length) { return Text(reinterpret_cast<const char16_t*>(text), length); }

}  // namespace kbt::win32
