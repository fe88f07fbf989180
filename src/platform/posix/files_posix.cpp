#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/posix/power_cut_hooks.h"

namespace kbt::platform {
namespace {
thread_local Status g_lastError = 0;

Status FromErrno(int error) {
  switch (error) {
    case ENOENT: return kFileNotFound;
    case ENOTDIR: return kPathNotFound;
    case EEXIST: return kAlreadyExists;
    case EACCES: case EPERM: case EROFS: case EISDIR: return kAccessDenied;
    case ENAMETOOLONG: return kFilenameTooLong;
    case ENOSPC: case EFBIG: case EDQUOT: return kDiskFull;
    default: return 31;  // ERROR_GEN_FAILURE
  }
}
bool Fail() {
  g_lastError = FromErrno(errno);
  return false;
}
std::string N(const Text& path) { return ToUtf8(path); }
int Fd(std::uintptr_t handle) { return static_cast<int>(handle) - 1; }
// A change that a power cut in a test stopped.
bool PowerGone() {
  errno = EIO;
  return Fail();
}
namespace cut = power_cut::hooks;
}  // namespace

bool FileTraits::Close(Type handle) { return ::close(Fd(handle)) == 0 || Fail(); }

bool File::Open(const Text& path, FileMode mode) {
  Close();
  int flags = O_RDONLY;
  if (mode == FileMode::CreateAlways) flags = O_WRONLY | O_CREAT | O_TRUNC;
  if (mode == FileMode::CreateNew) flags = O_WRONLY | O_CREAT | O_EXCL;
  if (mode == FileMode::AppendExisting) flags = O_WRONLY;
  const bool writes = flags != O_RDONLY;
  struct stat before {};
  const bool existed = writes && ::lstat(N(path).c_str(), &before) == 0;
  if (writes && !cut::Step("open", N(path))) return PowerGone();
  if (existed) cut::Track(N(path));
  const int fd = ::open(N(path).c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return Fail();
  if (writes && !existed) cut::Created(N(path));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    ::close(fd);
    return Fail();
  }
  if (mode == FileMode::AppendExisting && ::lseek(fd, 0, SEEK_END) < 0) {
    ::close(fd);
    return Fail();
  }
  handle_.Reset(static_cast<std::uintptr_t>(fd) + 1);
  return true;
}

bool File::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  for (;;) {
    const ssize_t got = ::read(Fd(handle_.Get()), buffer, size);
    if (got >= 0) {
      *read = static_cast<size_t>(got);
      return true;
    }
    if (errno != EINTR) return Fail();
  }
}

bool File::Write(const void* data, size_t size) {
  if (!cut::StepOnFile("write", Fd(handle_.Get()))) return PowerGone();
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(Fd(handle_.Get()), bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return Fail();
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  struct stat info {};
  if (::fstat(Fd(handle_.Get()), &info) != 0) return Fail();
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool File::Flush() {
  if (!cut::StepOnFile("flush", Fd(handle_.Get()))) return PowerGone();
  if (::fsync(Fd(handle_.Get())) != 0) return Fail();
  cut::Flushed(Fd(handle_.Get()));
  return true;
}

bool File::Close() { return handle_.Reset(); }

Status LastError() { return g_lastError; }

void ClearLastError() {
  g_lastError = 0;
  errno = 0;
}

void NoteShortWrite() { g_lastError = errno != 0 ? FromErrno(errno) : kDiskFull; }

bool GetAttributes(const Text& path, uint32_t* attributes) {
  struct stat info {};
  if (::stat(N(path).c_str(), &info) != 0) return Fail();
  uint32_t value = 0;
  if (S_ISDIR(info.st_mode)) value |= kAttributeDirectory;
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode)) value |= kAttributeDevice;
  if (!(info.st_mode & S_IWUSR)) value |= kAttributeReadOnly;
  *attributes = value == 0 ? 0x80 : value;  // FILE_ATTRIBUTE_NORMAL
  return true;
}

bool GetFileSize(const Text& path, uint64_t* size) {
  struct stat info {};
  if (::stat(N(path).c_str(), &info) != 0) return Fail();
  *size = static_cast<uint64_t>(info.st_size);
  return true;
}

bool RemoveFile(const Text& path) {
  struct stat info {};
  if (::lstat(N(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    errno = EACCES;
    return Fail();
  }
  if (!cut::Step("remove", N(path))) return PowerGone();
  const std::string kept = cut::Keep(N(path));
  if (::unlink(N(path).c_str()) != 0) return Fail();
  cut::Removed(N(path), kept);
  return true;
}

Status MakeDirectory(const Text& path) {
  if (path.empty()) return g_lastError = kPathNotFound;
  if (!cut::Step("make folder", N(path))) return g_lastError = FromErrno(EIO);
  if (::mkdir(N(path).c_str(), 0755) != 0) return g_lastError = FromErrno(errno);
  cut::MadeFolder(N(path));
  return kSuccess;
}

bool MoveReplacing(const Text& source, const Text& destination) {
  // As on Windows, a read-only file is never replaced (rename alone would, and root writes anything).
  uint32_t attributes = 0;
  if (GetAttributes(destination, &attributes) && (attributes & kAttributeReadOnly)) {
    errno = EACCES;
    return Fail();
  }
  if (!cut::Step("rename", N(source), N(destination))) return PowerGone();
  const std::string kept = cut::Keep(N(destination));
  if (::rename(N(source).c_str(), N(destination).c_str()) != 0) return Fail();
  cut::Renamed(N(source), N(destination), kept);
  return true;
}

bool MoveReplacingWrittenThrough(const Text& source, const Text& destination) {
  if (!MoveReplacing(source, destination)) return false;
  // The new name is on the disk once its folder is.
  Text folder = destination;
  while (!folder.empty() && folder.back() != u'/') folder.pop_back();
  if (!cut::Step("flush folder", N(folder))) return PowerGone();
  const int fd = ::open(N(folder.empty() ? Text(u".") : folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return Fail();
  const bool flushed = ::fsync(fd) == 0 || Fail();
  ::close(fd);
  if (flushed) cut::Commit();
  return flushed;
}

bool LinkOrCopyFile(const Text& source, const Text& destination) {
  if (!cut::Step("link", N(source), N(destination))) return PowerGone();
  if (::link(N(source).c_str(), N(destination).c_str()) == 0) return cut::Linked(N(destination)), true;
  if (errno == EEXIST || errno == ENOENT) return Fail();
  File in, out;
  if (!in.Open(source, FileMode::ReadShared) || !out.Open(destination, FileMode::CreateNew)) return false;
  std::vector<char> buffer(1 << 16);
  bool ok = true;
  for (size_t got = 0; ok && in.Read(buffer.data(), buffer.size(), &got) && got > 0;) ok = out.Write(buffer.data(), got);
  ok = ok && out.Flush();
  ok = out.Close() && ok;
  if (!ok) ::unlink(N(destination).c_str());
  return ok;
}

bool GetFileIdentity(const Text& path, FileIdentity* identity) {
  struct stat info {};
  if (::lstat(N(path).c_str(), &info) != 0) return Fail();
  *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino),
                           static_cast<uint32_t>(info.st_nlink), S_ISLNK(info.st_mode)};
  return true;
}

bool RemoveEmptyFolder(const Text& path) {
  if (!cut::Step("remove folder", N(path))) return PowerGone();
  if (::rmdir(N(path).c_str()) != 0) return Fail();
  cut::RemovedFolder(N(path));
  return true;
}

bool GetLastWriteDosTime(const Text& path, uint32_t* dosDateTime) {
  *dosDateTime = 0;
  struct stat info {};
  if (::stat(N(path).c_str(), &info) != 0) return false;
  struct tm local {};
  const time_t when = info.st_mtime;
  if (!::localtime_r(&when, &local) || local.tm_year < 80 || local.tm_year > 207) return false;
  const uint32_t date = ((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday;
  const uint32_t time = (local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2);
  *dosDateTime = (date << 16) | time;
  return true;
}

bool SetFileTimesFromDos(const Text& path, uint32_t dosDateTime) {
  struct tm local {};
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  local.tm_year = static_cast<int>((date >> 9) + 80);
  local.tm_mon = static_cast<int>(((date >> 5) & 15)) - 1;
  local.tm_mday = static_cast<int>(date & 31);
  local.tm_hour = static_cast<int>(time >> 11);
  local.tm_min = static_cast<int>((time >> 5) & 63);
  local.tm_sec = static_cast<int>((time & 31) * 2);
  local.tm_isdst = -1;
  if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1) return false;
  const time_t when = ::mktime(&local);
  if (when == static_cast<time_t>(-1)) return false;
  struct utimbuf times {when, when};
  return ::utime(N(path).c_str(), &times) == 0 || Fail();
}

bool ForEachFileNamed(const Text& folder, const Text& pattern, const std::function<void(const Text& name)>& found) {
  DIR* listing = ::opendir(N(folder).c_str());
  if (!listing) return Fail();
  const std::string wildcard = N(pattern);
  // Unlike on Windows, a file that another process holds open can be deleted here.
  while (const dirent* entry = ::readdir(listing)) {
    if (::fnmatch(wildcard.c_str(), entry->d_name, FNM_CASEFOLD) != 0) continue;
    Text path = folder;
    if (path.empty() || path.back() != u'/') path += u'/';
    path += FromUtf8(entry->d_name);
    struct stat info {};
    if (::lstat(N(path).c_str(), &info) == 0 && S_ISREG(info.st_mode)) found(FromUtf8(entry->d_name));
  }
  ::closedir(listing);
  return true;
}

bool GetTempFolder(Text& folder) {
  const char* tmp = std::getenv("TMPDIR");
  folder = FromUtf8(tmp && *tmp ? tmp : "/tmp");
  if (folder.back() != u'/') folder += u'/';
  return true;
}

bool GetCurrentFolder(Text& folder) {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return Fail();
    buffer.resize(buffer.size() * 2);
  }
  folder = FromUtf8(buffer.data());
  return true;
}

}  // namespace kbt::platform
