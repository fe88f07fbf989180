#pragma once
// One owner per kind of Win32 handle, over the one template: nothing closes a file, find or
// registry handle anywhere else.
#include "platform/unique_handle.h"
#include "platform/win32/wide.h"

namespace kbt::win32 {

struct FileHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(Type handle) { return ::CloseHandle(handle) != FALSE; }
};
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static bool Close(Type find) { return ::FindClose(find) != FALSE; }
};
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;

// The registry answers with a status of its own rather than the thread's last error.
inline LONG CloseRegistryKey(HKEY key) { return ::RegCloseKey(key); }
struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static bool Close(Type key) { return CloseRegistryKey(key) == ERROR_SUCCESS; }
};
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;

}  // namespace kbt::win32
