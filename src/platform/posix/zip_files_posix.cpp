#include "platform/zip_files.h"

namespace kbt::platform {

ZipFileAccess::ZipFileAccess(const Text& path) : narrow_(ToUtf8(path)) {
  detail::FillBufferedZipFileFunctions(&functions_);
}

const void* ZipFileAccess::Path() const { return narrow_.c_str(); }

const zlib_filefunc64_def& detail::SystemZipFileFunctions() {
  static const zlib_filefunc64_def functions = [] {
    zlib_filefunc64_def table{};
    fill_fopen64_filefunc(&table);
    return table;
  }();
  return functions;
}

}  // namespace kbt::platform
