#pragma once
// Pictures of windows as the screen shows them, and PNG files of them.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kbt::testing {

struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool Empty() const { return pixels.empty(); }
  // How many pixels inside [left, right) x [top, bottom) have exactly this colour.
  int Count(uint32_t rgb, const RECT& area) const;
};

// The screen's pixels inside a rectangle in screen coordinates.
Capture CaptureScreen(const RECT& area);
// The window with its frame, as it is on the screen.
Capture CaptureWindow(HWND window);
// A window's rectangle relative to another window's top-left corner.
RECT RectWithin(HWND inner, HWND outer);

bool SavePng(const Capture& capture, const std::wstring& path);

}  // namespace kbt::testing
