#include "platform/run_lock.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/unique_handle.h"
#include "platform/win32/wide.h"
// After windows.h (through wide.h), which it needs.
#include <sddl.h>

namespace kbt::platform {
using win32::W;

namespace {
struct KernelHandleTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle) { return ::CloseHandle(handle) != FALSE; }
};
using KernelHandle = UniqueHandle<KernelHandleTraits>;

// A mutex may be taken again by the thread that holds it; this lock must refuse a second holder
// of the same process as it refuses one of another process.
std::mutex g_heldGuard;
std::vector<Text> g_held;

// The user's SID: names in the session's namespace are shared with other users' processes that
// run in it, and neither may wait for the other.
Text UserSid() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return Text();
  const KernelHandle token(raw);
  alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!::GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) return Text();
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return Text();
  const Text sid = win32::FromW(text);
  ::LocalFree(text);
  return sid;
}
}  // namespace

RunLock::Result RunLock::Acquire(const Text& name, uint32_t milliseconds) {
  Release();
  const Text sid = UserSid();
  if (sid.empty()) return Result::Failed;
  const Text full = u"Local\\" + name + u" " + sid;
  KernelHandle mutex(::CreateMutexW(nullptr, FALSE, W(full)));
  if (!mutex) return Result::Failed;
  // Abandoned: its holder was killed. The lock is ours, and what that run left is for recovery.
  const DWORD waited = ::WaitForSingleObject(mutex.Get(), milliseconds);
  if (waited == WAIT_TIMEOUT) return Result::HeldElsewhere;
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return Result::Failed;
  {
    const std::lock_guard<std::mutex> guard(g_heldGuard);
    if (std::find(g_held.begin(), g_held.end(), full) != g_held.end()) {
      ::ReleaseMutex(mutex.Get());
      return Result::HeldElsewhere;
    }
    g_held.push_back(full);
  }
  name_ = full;
  handle_ = reinterpret_cast<std::uintptr_t>(mutex.Release());
  return Result::Taken;
}

void RunLock::Release() {
  if (handle_ == 0) return;
  {
    // Before the mutex goes, so that a thread that gets it next does not find this holder.
    const std::lock_guard<std::mutex> guard(g_heldGuard);
    g_held.erase(std::remove(g_held.begin(), g_held.end(), name_), g_held.end());
  }
  const KernelHandle mutex(reinterpret_cast<HANDLE>(handle_));
  ::ReleaseMutex(mutex.Get());
  handle_ = 0;
  name_.clear();
}

}  // namespace kbt::platform
