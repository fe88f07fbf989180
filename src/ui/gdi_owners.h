#pragma once
// Owners for the GDI and USER objects the wizard creates: fonts, icons, cursors, image lists.
#include <windows.h>
#include <commctrl.h>

#include "platform/unique_handle.h"

namespace kbt::ui {

struct FontTraits {
  using Type = HFONT;
  static Type Invalid() { return nullptr; }
  static bool Close(Type font) { return ::DeleteObject(font) != FALSE; }
};

struct IconTraits {
  using Type = HICON;
  static Type Invalid() { return nullptr; }
  static bool Close(Type icon) { return ::DestroyIcon(icon) != FALSE; }
};

struct ImageListTraits {
  using Type = HIMAGELIST;
  static Type Invalid() { return nullptr; }
  static bool Close(Type list) { return ::ImageList_Destroy(list) != FALSE; }
};

using UniqueFont = UniqueHandle<FontTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;

// A 16 x 16 icon from the program's resources; empty when it is missing.
inline UniqueIcon LoadSmallIcon(HINSTANCE instance, int id) {
  return UniqueIcon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
}

// The font of a window with another weight; empty when the window has no font.
inline UniqueFont CopyFontWithWeight(HWND window, LONG weight) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (!font || ::GetObjectW(font, sizeof description, &description) == 0) return UniqueFont();
  description.lfWeight = weight;
  return UniqueFont(::CreateFontIndirectW(&description));
}

}  // namespace kbt::ui
