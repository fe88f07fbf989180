#include "platform/files.h"
#include "platform/win32/unique_handles_win32.h"
#include "platform/win32/wide.h"

namespace kbt::platform {
using win32::W;

namespace {
HANDLE H(std::uintptr_t handle) { return reinterpret_cast<HANDLE>(handle); }
}  // namespace

bool FileTraits::Close(Type handle) { return win32::FileHandleTraits::Close(H(handle)); }

bool File::Open(const Text& path, FileMode mode) {
  Close();
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case FileMode::ReadShared: break;
    case FileMode::ReadExclusive: share = 0; break;
    case FileMode::CreateAlways: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
    case FileMode::CreateNew: access = GENERIC_WRITE; disposition = CREATE_NEW; break;
    case FileMode::AppendExisting: access = GENERIC_WRITE; break;
  }
  win32::UniqueFileHandle handle(
      ::CreateFileW(W(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle) return false;
  if (mode == FileMode::AppendExisting && ::SetFilePointer(handle.Get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      ::GetLastError() != NO_ERROR) {
    return false;
  }
  handle_.Reset(reinterpret_cast<std::uintptr_t>(handle.Release()));
  return true;
}

bool File::Read(void* buffer, size_t size, size_t* read) {
  DWORD got = 0;
  const BOOL ok = ::ReadFile(H(handle_.Get()), buffer, static_cast<DWORD>(size), &got, nullptr);
  *read = ok ? got : 0;
  return ok != FALSE;
}

bool File::Write(const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(H(handle_.Get()), bytes, chunk, &written, nullptr) || written == 0) return false;
    bytes += written;
    size -= written;
  }
  return true;
}

bool File::Size(uint64_t* size) const {
  LARGE_INTEGER value{};
  if (!::GetFileSizeEx(H(handle_.Get()), &value)) return false;
  *size = static_cast<uint64_t>(value.QuadPart);
  return true;
}

bool File::Flush() { return ::FlushFileBuffers(H(handle_.Get())) != FALSE; }

bool File::Close() { return handle_.Reset(); }

Status LastError() { return static_cast<Status>(::GetLastError()); }

void ClearLastError() { ::SetLastError(ERROR_SUCCESS); }

void NoteShortWrite() {
  if (::GetLastError() == ERROR_SUCCESS) ::SetLastError(ERROR_DISK_FULL);
}

bool GetAttributes(const Text& path, uint32_t* attributes) {
  const DWORD value = ::GetFileAttributesW(W(path));
  if (value == INVALID_FILE_ATTRIBUTES) return false;
  *attributes = value;
  return true;
}

bool GetFileSize(const Text& path, uint64_t* size) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
  *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool RemoveFile(const Text& path) { return ::DeleteFileW(W(path)) == TRUE; }

Status MakeDirectory(const Text& path) {
  return ::CreateDirectoryW(W(path), nullptr) ? kSuccess : static_cast<Status>(::GetLastError());
}

namespace {
bool Move(const Text& source, const Text& destination, DWORD flags) {
  // Windows refuses to replace a read-only file; Wine run by root does not, so the rule is kept here.
  const DWORD attributes = ::GetFileAttributesW(W(destination));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return ::MoveFileExW(W(source), W(destination), MOVEFILE_REPLACE_EXISTING | flags) != FALSE;
}
}  // namespace

bool MoveReplacing(const Text& source, const Text& destination) { return Move(source, destination, 0); }

// NTFS logs changes of names in order: the rename is durable only with everything logged before it.
bool MoveReplacingWrittenThrough(const Text& source, const Text& destination) {
  return Move(source, destination, MOVEFILE_WRITE_THROUGH);
}

bool LinkOrCopyFile(const Text& source, const Text& destination) {
  if (::CreateHardLinkW(W(destination), W(source), nullptr)) return true;
  if (!::CopyFileW(W(source), W(destination), TRUE)) return false;
  File copy;
  if (copy.Open(destination, FileMode::AppendExisting) && copy.Flush() && copy.Close()) return true;
  const DWORD error = ::GetLastError();
  ::DeleteFileW(W(destination));
  ::SetLastError(error);
  return false;
}

bool GetFileIdentity(const Text& path, FileIdentity* identity) {
  // The name itself is opened, never where a link on it leads.
  const win32::UniqueFileHandle handle(::CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                     nullptr, OPEN_EXISTING,
                                                     FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !::GetFileInformationByHandle(handle.Get(), &info)) return false;
  *identity = FileIdentity{info.dwVolumeSerialNumber,
                           (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                           info.nNumberOfLinks, (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
  return true;
}

bool RemoveEmptyFolder(const Text& path) { return ::RemoveDirectoryW(W(path)) != FALSE; }

bool GetLastWriteDosTime(const Text& path, uint32_t* dosDateTime) {
  *dosDateTime = 0;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  FILETIME local{};
  if (::GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) {
    ::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  }
  WORD date = 0, time = 0;
  if (!::FileTimeToDosDateTime(&local, &date, &time)) return false;
  *dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
  return true;
}

bool SetFileTimesFromDos(const Text& path, uint32_t dosDateTime) {
  FILETIME local{}, utc{};
  if (!::DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &local))
    return false;
  const win32::UniqueFileHandle handle(
      ::CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return handle && ::LocalFileTimeToFileTime(&local, &utc) && ::SetFileTime(handle.Get(), &utc, &utc, &utc);
}

bool ForEachFileNamed(const Text& folder, const Text& pattern, const std::function<void(const Text& name)>& found) {
  Text search = folder;
  if (!search.empty() && search.back() != u'\\') search += u'\\';
  search += pattern;
  WIN32_FIND_DATAW data;
  const win32::UniqueFindHandle find(
      ::FindFirstFileExW(W(search), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    // The pattern also matches short names; the caller sees the long one and decides.
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found(win32::FromW(data.cFileName));
  } while (::FindNextFileW(find.Get(), &data));
  return true;
}

bool GetTempFolder(Text& folder) { return win32::FillText(::GetTempPathW, folder); }

bool GetCurrentFolder(Text& folder) { return win32::FillText(::GetCurrentDirectoryW, folder); }

}  // namespace kbt::platform
