#pragma once
// How the zip library reaches archive files: through the wide-character Win32 functions, so that
// any Unicode path works, or through stdio with a UTF-8 path on the substitute build.
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

}  // namespace kbt::platform
