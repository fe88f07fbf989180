#include "platform/zip_files.h"

#include <iowin32.h>

namespace kbt::platform {

ZipFileAccess::ZipFileAccess(const Text& path) : wide_(path) { fill_win32_filefunc64W(&functions_); }

const void* ZipFileAccess::Path() const { return wide_.c_str(); }

}  // namespace kbt::platform
