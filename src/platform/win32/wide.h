#pragma once
// char16_t and wchar_t are both UTF-16 units on Windows.
#include <windows.h>

#include <vector>

#include "platform/text.h"

namespace kbt::win32 {

inline const wchar_t* W(const Text& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }
inline wchar_t* W(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline Text FromW(const wchar_t* text) { return text ? Text(reinterpret_cast<const char16_t*>(text)) : Text(); }
inline Text FromW(const wchar_t* text, size_t length) { return Text(reinterpret_cast<const char16_t*>(text), length); }

// For the Win32 calls that fill a buffer of a given size and return the length written, or the
// size needed (terminator included) when the buffer is too small: grows the buffer until the
// text fits, up to the system's longest path.
template <typename Fill>
bool FillText(Fill fill, Text& out) {
  constexpr DWORD kLongest = 32768;
  DWORD size = MAX_PATH + 1;
  for (;;) {
    std::vector<wchar_t> buffer(size, L'\0');
    const DWORD length = fill(size, buffer.data());
    if (length == 0) return false;
    if (length < size) {
      out = FromW(buffer.data(), length);
      return true;
    }
    // The text may have grown between the calls: ask again with what was asked for.
    if (size >= kLongest) return false;
    size = length < kLongest ? length + 1 : kLongest;
  }
}

}  // namespace kbt::win32
