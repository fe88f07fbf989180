#pragma once
// Helpers shared by the archive tests: reproducible data, folder listings and raw file times.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#endif

namespace kbt::testing {

// Runs of repeated text, of random bytes and of zeros, so that deflate meets every kind of block.
inline std::vector<uint8_t> MixedData(size_t size, uint32_t seed) {
  std::vector<uint8_t> out;
  out.reserve(size);
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&]() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  static const char kWords[] = "history favorites folders custom settings queue ";
  while (out.size() < size) {
    const size_t run = 1 + next() % 20000;
    const uint32_t kind = next() % 3;
    for (size_t i = 0; i < run && out.size() < size; ++i) {
      if (kind == 0) out.push_back(static_cast<uint8_t>(kWords[i % (sizeof kWords - 1)]));
      if (kind == 1) out.push_back(static_cast<uint8_t>(next()));
      if (kind == 2) out.push_back(0);
    }
  }
  return out;
}

inline std::vector<Text> ListFolder(const Text& folder) {
  std::vector<Text> names;
#ifdef _WIN32
  WIN32_FIND_DATAW data;
  const std::wstring pattern = std::wstring(reinterpret_cast<const wchar_t*>(folder.c_str())) + L"\\*";
  HANDLE find = ::FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.emplace_back(reinterpret_cast<const char16_t*>(name.c_str()));
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
#else
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ToUtf8(folder), error))
    names.push_back(FromUtf8(entry.path().filename().string()));
#endif
  return names;
}

inline bool SetReadOnly(const Text& path, bool readOnly) {
#ifdef _WIN32
  return ::SetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()),
                              readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL) != FALSE;
#else
  return ::chmod(ToUtf8(path).c_str(), readOnly ? 0444 : 0644) == 0;
#endif
}

struct WallTime {
  int year, month, day, hour, minute, second;
};

// Sets the file's times to a local wall-clock time, to the second.
inline bool SetLocalFileTime(const Text& path, const WallTime& t) {
#ifdef _WIN32
  SYSTEMTIME local{static_cast<WORD>(t.year),   static_cast<WORD>(t.month),  0, static_cast<WORD>(t.day),
                   static_cast<WORD>(t.hour),   static_cast<WORD>(t.minute), static_cast<WORD>(t.second), 0};
  FILETIME localTime{}, utc{};
  if (!::SystemTimeToFileTime(&local, &localTime) || !::LocalFileTimeToFileTime(&localTime, &utc)) return false;
  HANDLE file = ::CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool ok = ::SetFileTime(file, &utc, &utc, &utc) != FALSE;
  ::CloseHandle(file);
  return ok;
#else
  struct tm local {};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;
  const time_t when = ::mktime(&local);
  struct utimbuf times {when, when};
  return when != static_cast<time_t>(-1) && ::utime(ToUtf8(path).c_str(), &times) == 0;
#endif
}

// Every time the file system keeps for the file (creation, last access, last write on Windows;
// last access and last write elsewhere), in its own units.
inline std::vector<int64_t> FileTimes(const Text& path) {
#ifdef _WIN32
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(reinterpret_cast<const wchar_t*>(path.c_str()), GetFileExInfoStandard, &data)) return {};
  auto value = [](const FILETIME& time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  };
  return {value(data.ftCreationTime), value(data.ftLastAccessTime), value(data.ftLastWriteTime)};
#else
  struct stat info {};
  if (::stat(ToUtf8(path).c_str(), &info) != 0) return {};
  return {static_cast<int64_t>(info.st_atime), static_cast<int64_t>(info.st_mtime)};
#endif
}

}  // namespace kbt::testing
