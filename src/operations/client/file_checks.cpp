#include "operations/client/file_checks.h"

#include "platform/files.h"

namespace kbt {
using namespace platform;

bool IsExistingFile(const Text& path) {
  uint32_t attributes = 0;
  return !path.empty() && GetAttributes(path, &attributes) &&
         !(attributes & (kAttributeDirectory | kAttributeDevice));
}

bool IsWritableFolder(const Text& folder) {
  Text probe;
  File file;
  if (!CreateTempFile(folder, probe, file)) return false;
  // Created for writing is the whole proof: a folder that allows that takes the restore's files.
  file.Close();
  static_cast<void>(RemoveFile(probe));  // a leftover of the tool's own name, removed by the next run
  return true;
}

bool HasExecutableExtension(const Text& fileName) {
  static const char16_t* const kExtensions[] = {u".exe", u".com", u".bat", u".cmd", u".scr", u".pif",
                                                u".lnk", u".dll", u".cpl", u".msi", u".ps1", u".vbs",
                                                u".vbe", u".js",  u".jse", u".wsf", u".wsh", u".hta"};
  // Every piece between colons counts: on NTFS "x.exe::$DATA" is x.exe itself and "x.exe:s"
  // creates x.exe, and a drive-relative "C:x.exe" names x.exe.
  size_t start = 0;
  for (;;) {
    const size_t colon = fileName.find(u':', start);
    Text name = fileName.substr(start, colon == Text::npos ? Text::npos : colon - start);
    // Windows ignores trailing dots and blanks, so "x.exe." would still run.
    while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
    for (const char16_t* extension : kExtensions) {
      const Text ending(extension);
      if (name.size() >= ending.size() && EqualsIgnoreAsciiCase(name.substr(name.size() - ending.size()), ending))
        return true;
    }
    if (colon == Text::npos) return false;
    start = colon + 1;
  }
}

}  // namespace kbt
