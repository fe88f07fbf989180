#pragma once
// Where a path really leads, and the folders that belong to the system and the shell: the facts
// the rule for the client's own places is decided on.
#include <vector>

#include "platform/text.h"

namespace kbt::platform {

// An absolute path on a drive of this machine, spelled plainly: no device or namespace prefix
// (\\?\, \\.\), no network share, no "." or ".." component, no device name (CON, NUL.bmp, ...),
// no stream suffix, no component the system would silently change (trailing dots or blanks).
bool IsPlainLocalPath(const Text& path);
// The path as the system resolves it: short names expanded and links followed for the part that
// exists, the rest appended as spelled. False when the existing part cannot be opened.
bool ResolvePath(const Text& path, Text& resolved);
// A resolved path that lies on a network volume (a share or a mapped network drive).
bool IsOnNetworkVolume(const Text& resolved);
// The system's and the shell's own folders, resolved: Windows, system, program files, program
// data, the Start menu and Startup folders, and the shell's folders under the application data.
std::vector<Text> ProtectedFolders();
// The path is the folder itself or lies below it, compared as the file system compares names.
bool IsSameOrBelow(const Text& path, const Text& folder);

}  // namespace kbt::platform
