#pragma once
// Where a window goes when it is centred over another one and kept inside the work area.
#include <windows.h>

namespace kbt::ui {

inline LONG CentredEdge(LONG size, LONG overLow, LONG overHigh, LONG areaLow, LONG areaHigh) {
  LONG edge = (overLow + overHigh) / 2 - size / 2;
  if (edge < areaLow) edge = areaLow;
  else if (edge + size > areaHigh) edge = areaHigh - size;
  return edge;
}

// The top-left corner of 'window' centred over 'over', moved inside 'workArea' where it reaches out.
inline POINT CentredOrigin(const RECT& window, const RECT& over, const RECT& workArea) {
  return POINT{CentredEdge(window.right - window.left, over.left, over.right, workArea.left, workArea.right),
               CentredEdge(window.bottom - window.top, over.top, over.bottom, workArea.top, workArea.bottom)};
}

}  // namespace kbt::ui
