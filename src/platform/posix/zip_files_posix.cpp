#include "platform/zip_files.h"

namespace kbt::platform {

ZipFileAccess::ZipFileAccess(const Text& path) : narrow_(ToUtf8(path)) { fill_fopen64_filefunc(&functions_); }

const void* ZipFileAccess::Path() const { return narrow_.c_str(); }

}  // namespace kbt::platform
