#include "platform/zip_files.h"

#include <iowin32.h>

namespace kbt::platform {

ZipFileAccess::ZipFileAccess(const Text& path) : wide_(path) { detail::FillBufferedZipFileFunctions(&functions_); }

const void* ZipFileAccess::Path() const { return wide_.c_str(); }

const zlib_filefunc64_def& detail::SystemZipFileFunctions() {
  static const zlib_filefunc64_def functions = [] {
    zlib_filefunc64_def table{};
    fill_win32_filefunc64W(&table);
    return table;
  }();
  return functions;
}

}  // namespace kbt::platform
