#pragma once
// Files, folders and file times, with the Win32 semantics the logic relies on.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

namespace kbt::platform {

constexpr Status kPathNotFound = 3;
constexpr Status kSharingViolation = 32;
constexpr Status kLockViolation = 33;
constexpr Status kFileExists = 80;
constexpr Status kDiskFull = 112;
constexpr Status kAlreadyExists = 183;
constexpr Status kFilenameTooLong = 206;

constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeDevice = 0x40;

enum class FileMode {
  ReadShared,     // existing file, others may read
  ReadExclusive,  // existing file, no sharing
  CreateAlways,   // new or replaced file for writing, others may read
  CreateNew,      // new file for writing, others may read; fails with kFileExists when one is there
  AppendExisting  // existing file for writing, positioned at its end
};

// The system's handle of an open file (a HANDLE on Windows, a descriptor + 1 elsewhere); 0: none.
struct FileTraits {
  using Type = std::uintptr_t;
  static Type Invalid() { return 0; }
  static bool Close(Type handle);
};

class File {
 public:
  File() = default;

  [[nodiscard]] bool Open(const Text& path, FileMode mode);
  bool IsOpen() const { return static_cast<bool>(handle_); }
  // False on a read error; *read is 0 at the end of the file.
  [[nodiscard]] bool Read(void* buffer, size_t size, size_t* read);
  // True only when every byte was written.
  [[nodiscard]] bool Write(const void* data, size_t size);
  // The size of the open file in bytes.
  [[nodiscard]] bool Size(uint64_t* size) const;
  // Writes what the system still holds for the file through to the disk.
  [[nodiscard]] bool Flush();
  // Closes the file; false when the system reports the close (and so the last writes) failed.
  bool Close();

 private:
  UniqueHandle<FileTraits> handle_;
};

// Last error of the calling thread, as a Win32 code.
Status LastError();
void ClearLastError();
// After a write that wrote less than asked (the zip library's own file functions): the system's
// error becomes the thread's last error, or a full disk when the system gave none (a write cut
// short at the end of the space is no error to it).
void NoteShortWrite();

[[nodiscard]] bool GetAttributes(const Text& path, uint32_t* attributes);
// The size of a file without opening it, so also of one another program holds open.
[[nodiscard]] bool GetFileSize(const Text& path, uint64_t* size);
[[nodiscard]] bool RemoveFile(const Text& path);
// CreateDirectoryW: 0, or the Win32 error (kAlreadyExists, kPathNotFound, ...).
[[nodiscard]] Status MakeDirectory(const Text& path);
// Moves source over destination, replacing it (same volume); a read-only destination is kept.
[[nodiscard]] bool MoveReplacing(const Text& source, const Text& destination);
// The same, on the disk when it returns, and with it every name made on the volume before it: the
// last step of a record that must outlive a power cut.
[[nodiscard]] bool MoveReplacingWrittenThrough(const Text& source, const Text& destination);
// Gives the source's bytes a second name, which must be free: a hard link where the volume allows
// one (no byte is copied, and replacing or deleting the source later leaves them here), otherwise
// a copy written through to the disk. The source is never changed.
[[nodiscard]] bool LinkOrCopyFile(const Text& source, const Text& destination);
// Who a name stands for, read without following a link that the name itself is.
struct FileIdentity {
  uint64_t volume = 0, index = 0;
  uint32_t links = 0;   // the names the file has
  bool isLink = false;  // a symbolic link, junction or other reparse point
  bool SameFileAs(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
[[nodiscard]] bool GetFileIdentity(const Text& path, FileIdentity* identity);
// Removes a folder that holds nothing; false when it holds anything or cannot be removed.
[[nodiscard]] bool RemoveEmptyFolder(const Text& path);

// Last-write time as a DOS date (high 16 bits) and time (low 16 bits), local time.
[[nodiscard]] bool GetLastWriteDosTime(const Text& path, uint32_t* dosDateTime);
// Sets creation, last-access and last-write time to a DOS date and time taken as local time.
[[nodiscard]] bool SetFileTimesFromDos(const Text& path, uint32_t dosDateTime);

// Calls `found` with the name of each file in the folder whose name matches the wildcard
// pattern (`*` only); false when the folder cannot be listed.
[[nodiscard]] bool ForEachFileNamed(const Text& folder, const Text& pattern, const std::function<void(const Text& name)>& found);

[[nodiscard]] bool GetTempFolder(Text& folder);
[[nodiscard]] bool GetCurrentFolder(Text& folder);

// Temporary files are named "~kbt" + 16 hex digits + ".tmp". CreateTempFile first removes the
// files of that pattern in the folder that no running process holds open (what a killed run
// left behind), then creates a new one, open for writing, in `file`. The folder's length is not
// limited beyond the system's own.
[[nodiscard]] bool CreateTempFile(const Text& folder, Text& path, File& file);
bool IsTempFileName(const Text& name);
void RemoveTempLeftovers(const Text& folder);

}  // namespace kbt::platform
