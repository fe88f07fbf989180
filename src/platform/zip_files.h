#pragma once
// How the zip library reaches archive files: through the wide-character Win32 functions, so that
// any Unicode path works, or through stdio with a UTF-8 path on the substitute build. Archives
// opened for reading go through a read buffer: minizip reads its headers a byte at a time.
#include <ioapi.h>

#include <string>

#include "platform/text.h"

namespace kbt::platform {

// The file-function table and the path in the form that table's open function takes,
// for zipOpen2_64 and unzOpen2_64. Keep it alive until the open call has returned.
class ZipFileAccess {
 public:
  explicit ZipFileAccess(const Text& path);
  ZipFileAccess(const ZipFileAccess&) = delete;
  ZipFileAccess& operator=(const ZipFileAccess&) = delete;

  zlib_filefunc64_def* Functions() { return &functions_; }
  const void* Path() const;

 private:
  zlib_filefunc64_def functions_{};
  Text wide_;
  std::string narrow_;
};

namespace detail {
// The system's own file functions (iowin32's wide ones, or stdio's), filled once.
const zlib_filefunc64_def& SystemZipFileFunctions();
// Functions over the system's that buffer reads of archives opened read-only.
void FillBufferedZipFileFunctions(zlib_filefunc64_def* table);
}  // namespace detail

}  // namespace kbt::platform
