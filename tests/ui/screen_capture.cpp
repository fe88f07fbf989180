#include "ui/screen_capture.h"

#include <zlib.h>

#include <cstdio>

namespace kbt::testing {
namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* kind, const std::vector<uint8_t>& body) {
  PutBigEndian(out, static_cast<uint32_t>(body.size()));
  std::vector<uint8_t> checked(kind, kind + 4);
  checked.insert(checked.end(), body.begin(), body.end());
  out.insert(out.end(), checked.begin(), checked.end());
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, checked.data(), static_cast<uInt>(checked.size()))));
}

}  // namespace

int Capture::Count(uint32_t rgb, const RECT& area) const {
  int found = 0;
  for (int y = area.top < 0 ? 0 : area.top; y < area.bottom && y < height; ++y) {
    for (int x = area.left < 0 ? 0 : area.left; x < area.right && x < width; ++x) {
      if (At(x, y) == rgb) ++found;
    }
  }
  return found;
}

Capture CaptureScreen(const RECT& area) {
  Capture capture;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return capture;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    if (::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY)) {
      ::GdiFlush();
      const auto* source = static_cast<const uint32_t*>(bits);
      capture.width = width;
      capture.height = height;
      capture.pixels.assign(source, source + static_cast<size_t>(width) * height);
      for (uint32_t& pixel : capture.pixels) pixel &= 0xFFFFFF;
    }
    ::SelectObject(memory, previous);
  }
  if (bitmap) ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return capture;
}

Capture CaptureWindow(HWND window) {
  RECT bounds{};
  ::GetWindowRect(window, &bounds);
  return CaptureScreen(bounds);
}

RECT RectWithin(HWND inner, HWND outer) {
  RECT a{}, b{};
  ::GetWindowRect(inner, &a);
  ::GetWindowRect(outer, &b);
  return RECT{a.left - b.left, a.top - b.top, a.right - b.left, a.bottom - b.top};
}

bool SavePng(const Capture& capture, const std::wstring& path) {
  if (capture.Empty()) return false;
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(capture.height) * (capture.width * 3 + 1));
  for (int y = 0; y < capture.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < capture.width; ++x) {
      const uint32_t pixel = capture.At(x, y);
      raw.push_back(static_cast<uint8_t>(pixel >> 16));
      raw.push_back(static_cast<uint8_t>(pixel >> 8));
      raw.push_back(static_cast<uint8_t>(pixel));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return false;
  packed.resize(packedSize);

  std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBigEndian(header, static_cast<uint32_t>(capture.width));
  PutBigEndian(header, static_cast<uint32_t>(capture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", packed);
  PutChunk(file, "IEND", {});

  FILE* out = _wfopen(path.c_str(), L"wb");
  if (!out) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace kbt::testing
