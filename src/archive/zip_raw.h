#pragma once
// The few places where the archive layer reads or changes an archive's headers itself: minizip
// writes and reads no compression method but 0 and 8, and AES entries have method 99.
#include <cstddef>
#include <cstdint>

#include "platform/text.h"
#include "platform/zip_files.h"

namespace kbt {

// An archive file opened through the same file functions minizip uses.
class RawZipFile {
 public:
  RawZipFile() = default;
  ~RawZipFile();
  RawZipFile(const RawZipFile&) = delete;
  RawZipFile& operator=(const RawZipFile&) = delete;

  [[nodiscard]] bool Open(const Text& path, bool writable);
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t size);
  [[nodiscard]] bool WriteAt(uint64_t offset, const void* data, size_t size);
  [[nodiscard]] bool Size(uint64_t* size);
  bool Close();

 private:
  zlib_filefunc64_def functions_{};
  void* stream_ = nullptr;
};

// Where the data of the entry whose central header starts at that offset begins (after its local
// header), or false when the headers on the way are not what they should be.
[[nodiscard]] bool FindEntryData(RawZipFile& file, uint64_t centralHeaderOffset, uint64_t* dataOffset);

// Gives every entry that carries the AES extra field method 99 in its central and local header,
// where the writer had minizip write 0. The archive must be complete, its comment that long.
[[nodiscard]] bool MarkAesEntries(RawZipFile& file, size_t commentSize);

}  // namespace kbt
