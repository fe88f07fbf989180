#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/run_lock.h"
#include "platform/shell_folders.h"

namespace kbt::platform {

// A file below the local application data folder, locked with flock: the lock belongs to the open
// file, so two RunLocks of one process exclude each other as two processes do.
RunLock::Result RunLock::Acquire(const Text& name, uint32_t milliseconds) {
  Release();
  Text folder;
  if (!GetLocalAppDataFolder(folder)) return Result::Failed;
  // A fresh profile may not have the folder yet; an existing one is no failure.
  const std::string base = ToUtf8(folder);
  for (size_t slash = base.find('/', 1); slash != std::string::npos; slash = base.find('/', slash + 1)) {
    ::mkdir(base.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(base.c_str(), 0700);
  const std::string path = base + "/" + ToUtf8(name) + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return Result::Failed;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      handle_ = static_cast<std::uintptr_t>(fd) + 1;
      name_ = name;
      return Result::Taken;
    }
    const bool held = errno == EWOULDBLOCK || errno == EINTR;
    if (!held || std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      return held ? Result::HeldElsewhere : Result::Failed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void RunLock::Release() {
  if (handle_ == 0) return;
  ::close(static_cast<int>(handle_ - 1));  // the lock goes with the descriptor
  handle_ = 0;
  name_.clear();
}

}  // namespace kbt::platform
