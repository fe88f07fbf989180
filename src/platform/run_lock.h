#pragma once
// An exclusive lock shared by all of the user's processes. The system lets it go when its holder
// ends, however it ends, so a killed run never leaves it held.
#include <cstdint>

#include "platform/text.h"

namespace kbt::platform {

class RunLock {
 public:
  enum class Result { Taken, HeldElsewhere, Failed };

  RunLock() = default;
  ~RunLock() { Release(); }
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Waits up to 'milliseconds' for the lock called 'name'. Another RunLock holding it counts as
  // another holder even in this process. Failed: the lock could not be made at all.
  [[nodiscard]] Result Acquire(const Text& name, uint32_t milliseconds);
  // On the thread that acquired it (a Windows mutex belongs to its thread).
  void Release();
  bool Held() const { return handle_ != 0; }

 private:
  std::uintptr_t handle_ = 0;  // a mutex handle on Windows, a descriptor + 1 elsewhere
  Text name_;
};

}  // namespace kbt::platform
