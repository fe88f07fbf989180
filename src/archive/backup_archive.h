#pragma once
// The backup archive: a zip file whose entries all lie at its root, written and read through minizip.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/parallel_deflate.h"
#include "archive/progress.h"
#include "platform/text.h"
#include "platform/unique_handle.h"

struct unz_file_info64_s;

namespace kbt {

namespace detail {
struct ZipHandleTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle);  // completes the archive without a comment
};
struct UnzipHandleTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static bool Close(Type handle);
};
}  // namespace detail

class BackupArchiveWriter {
 public:
  BackupArchiveWriter();
  // Closes an archive that is still open, with the comment only when one was set.
  virtual ~BackupArchiveWriter();
  BackupArchiveWriter(const BackupArchiveWriter&) = delete;
  BackupArchiveWriter& operator=(const BackupArchiveWriter&) = delete;

  // appendMode is minizip's: 0 creates the archive, replacing any file at that path.
  [[nodiscard]] bool Open(const Text& path, int appendMode);
  // Adds one whole file as one entry, its name in UTF-8 and flagged so; false when the file did
  // not reach the archive complete.
  [[nodiscard]] bool AddFile(const Text& sourcePath, const Text& entryName, int level, const Text* entryComment = nullptr);

  // Told about every piece a file gives to the archive; false stops the file there, and every
  // later one is refused.
  ProgressCallback Progress;
  // The progress callback asked to stop.
  bool Cancelled() const { return cancelled_; }
  // Once a file is expected, Progress counts over the whole archive: the bytes of the files added
  // so far against those of all expected files, so that it never goes back between files.
  void ExpectFile(const Text& sourcePath);
  // Threads that compress one file's pieces side by side.
  unsigned CompressionThreads = ParallelDeflater::DefaultThreads();

  // When not empty, every entry is encrypted with it in the WinZip AE-2 form (AES-256); the global
  // comment stays readable.
  Text Password;

  // The archive's global comment, written by Close when HasComment is set.
  Text CommentText;
  bool HasComment = false;

  // True when the archive was completed (central directory and comment written).
  // Closing a writer that is not open does nothing and returns true.
  bool Close();
  bool IsOpen() const;

  // Why the last failure happened, as a system error code (0 when the system named none), and
  // whether it was the archive itself that could not be written rather than a source file.
  long LastFailure() const { return failure_; }
  bool TargetFailed() const { return targetFailed_; }

 private:
  bool FailSource();
  bool FailTarget();

  UniqueHandle<detail::ZipHandleTraits> zip_;
  Text path_;
  bool aesEntries_ = false;  // written with method 0 until Close marks them
  long failure_ = 0;
  bool targetFailed_ = false;
  bool cancelled_ = false;
  uint64_t expected_ = 0, added_ = 0;
};

// Whether an archive's entries are encrypted: all of them or none, never a mix.
enum class ArchiveProtection { Plain, Protected, Mixed, Unreadable };

// Why the last entry could not be read.
enum class EntryProblem {
  None,
  Damaged,         // also an authentication code that does not match
  PasswordNeeded,  // encrypted, and no password was given
  WrongPassword,   // the verifier says so
  Unsupported      // an encryption or AES form this tool does not read
};

class BackupArchiveReader {
 public:
  BackupArchiveReader();
  virtual ~BackupArchiveReader();
  BackupArchiveReader(const BackupArchiveReader&) = delete;
  BackupArchiveReader& operator=(const BackupArchiveReader&) = delete;

  // On success the first entry is current.
  [[nodiscard]] bool Open(const Text& path);
  // False when there is no comment or it cannot be read; the caller's string is then unchanged.
  [[nodiscard]] bool ReadGlobalComment(Text& comment);
  // True when the whole central directory reads: every header, and exactly as many as the end
  // record counts. The first entry is current afterwards. `names`, when given, receives the
  // decoded names walked, in directory order (a name with a zero byte names nothing and is left out).
  [[nodiscard]] bool CheckDirectory(std::vector<Text>* names = nullptr);
  // Makes the first entry of that name (in central-directory order) current. Names are compared
  // as decoded: UTF-8 for entries flagged so (as the writer stores them), the ANSI code page for
  // the others. ignoreCase folds only the ASCII letters. On failure the current entry stays as it was.
  [[nodiscard]] bool LocateEntry(const Text& name, bool ignoreCase);
  // Makes the last entry of exactly that name current.
  [[nodiscard]] bool LocateLastEntry(const Text& name);
  // Writes the current entry to destination and gives it the entry's time. The destination is
  // replaced only once the whole entry was read and its size and CRC (or authentication code)
  // were found good; otherwise an existing destination is left untouched. A password given here
  // is used instead of the one set.
  [[nodiscard]] bool ExtractCurrentEntry(const Text& destination, const Text* password = nullptr);

  // The password for encrypted entries, used by every read.
  void SetPassword(const Text& password);
  // Walks the central directory for encrypted entries. The first entry is current afterwards.
  [[nodiscard]] ArchiveProtection Protection();
  // Checks the password against every entry's verifier (no entry is decrypted): None when it
  // fits them all, otherwise the first problem. The first entry is current afterwards.
  [[nodiscard]] EntryProblem CheckPassword();
  EntryProblem LastProblem() const { return problem_; }
  // Why the last extraction failed, as a system error code; 0 for a damaged entry.
  long LastFailure() const { return failure_; }

  // One entry as the central directory describes it.
  struct EntryInfo {
    Text name;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    uint32_t dosTime = 0;  // as the entry's header gives it
  };
  // Walks the entries in central-directory order; false when there is no (further) entry or the
  // directory cannot be read on.
  bool GoToFirstEntry();
  bool GoToNextEntry();
  [[nodiscard]] bool CurrentEntryInfo(EntryInfo& info);
  // Reads the current entry to its end without writing it anywhere: true when it is whole and its
  // size and CRC are right.
  [[nodiscard]] bool CheckCurrentEntry();
  // The file at path holds exactly the current entry's bytes: the entry is read whole, good by its
  // size and CRC, and compared with the file byte for byte.
  [[nodiscard]] bool CurrentEntryEquals(const Text& path);

  void Close();

  // Told about every chunk an entry gives to its file.
  ProgressCallback Progress;
  bool IsOpen() const;

 private:
  bool OpenEmptyArchive(const Text& path);
  // Hands the current entry's data to 'consume' piece by piece; true when all of it was read and
  // consumed and its size and CRC were found good.
  bool ReadCurrentEntry(const std::string* password, const std::function<bool(const unsigned char*, size_t)>& consume);
  bool ReadEntryData(const unz_file_info64_s& info, const std::string* password,
                     const std::function<bool(const unsigned char*, size_t)>& consume);

  UniqueHandle<detail::UnzipHandleTraits> unzip_;
  Text path_;
  std::string password_;  // UTF-8, as WinZip AES keys are derived from
  bool hasPassword_ = false;
  EntryProblem problem_ = EntryProblem::None;
  long failure_ = 0;
  // minizip cannot open an archive without entries; such an archive is only its end record.
  bool emptyArchive_ = false;
  std::string emptyArchiveComment_;
};

}  // namespace kbt
