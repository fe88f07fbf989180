#pragma once
// Owners for the GDI and USER objects the wizard creates: fonts, icons, cursors, image lists.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <iterator>
#include <utility>

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

struct BitmapTraits {
  using Type = HBITMAP;
  static Type Invalid() { return nullptr; }
  static bool Close(Type bitmap) { return ::DeleteObject(bitmap) != FALSE; }
};

struct BrushTraits {
  using Type = HBRUSH;
  static Type Invalid() { return nullptr; }
  static bool Close(Type brush) { return ::DeleteObject(brush) != FALSE; }
};

using UniqueFont = UniqueHandle<FontTraits>;
using UniqueBrush = UniqueHandle<BrushTraits>;
using UniqueBitmap = UniqueHandle<BitmapTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueImageList = UniqueHandle<ImageListTraits>;

// A 16 x 16 icon from the program's resources; empty when it is missing.
inline UniqueIcon LoadSmallIcon(HINSTANCE instance, int id) {
  return UniqueIcon(static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0)));
}

// How many dark pixels a text draws in this font, black on white.
inline int InkOf(HDC screen, HFONT font, const wchar_t* text) {
  constexpr int kWidth = 400, kHeight = 80;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = ::CreateCompatibleDC(screen);
  int ink = 0;
  if (bitmap && bits && dc) {
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    const RECT all{0, 0, kWidth, kHeight};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::TextOutW(dc, 2, 2, text, ::lstrlenW(text));
    ::GdiFlush();
    const auto* pixels = static_cast<const uint32_t*>(bits);
    // Dark pixels only, so that smoothing at the edges does not count.
    for (int i = 0; i < kWidth * kHeight; ++i) ink += (pixels[i] & 0x808080) == 0 ? 1 : 0;
    ::SelectObject(dc, oldFont);
    ::SelectObject(dc, oldBitmap);
  }
  if (dc) ::DeleteDC(dc);
  if (bitmap) ::DeleteObject(bitmap);
  return ink;
}

// Whether text in 'bold' comes out heavier than in 'regular', as a true bold does.
inline bool DrawsHeavier(HFONT bold, HFONT regular) {
  HDC screen = ::GetDC(nullptr);
  if (!screen) return true;
  const bool heavier = InkOf(screen, bold, L"Backup Restore") > InkOf(screen, regular, L"Backup Restore") * 11 / 10;
  ::ReleaseDC(nullptr, screen);
  return heavier;
}

// A bold copy of a font. Some font sets draw the bold of a face like its regular at larger sizes
// (Wine's Tahoma above 8 points at 144 DPI): then the bold of 'fallbackFace' takes its place.
inline UniqueFont BoldLike(const LOGFONTW& base, const wchar_t* fallbackFace) {
  LOGFONTW description = base;
  description.lfWeight = FW_BOLD;
  UniqueFont bold(::CreateFontIndirectW(&description));
  const UniqueFont regular(::CreateFontIndirectW(&base));
  if (!bold || !regular || DrawsHeavier(bold.Get(), regular.Get())) return bold;
  ::lstrcpynW(description.lfFaceName, fallbackFace, LF_FACESIZE);
  UniqueFont other(::CreateFontIndirectW(&description));
  return other && DrawsHeavier(other.Get(), regular.Get()) ? std::move(other) : std::move(bold);
}

// The bold of a window's font; empty when the window has no font.
inline UniqueFont CopyFontBold(HWND window, const wchar_t* fallbackFace) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (!font || ::GetObjectW(font, sizeof description, &description) == 0) return UniqueFont();
  return BoldLike(description, fallbackFace);
}

}  // namespace kbt::ui
