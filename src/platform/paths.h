#pragma once
// Path handling with the shell's path-function semantics, in the platform's own separator.
#include "platform/text.h"

namespace kbt::platform {

// The longest path the system takes, in UTF-16 units.
constexpr size_t kLongestPath = 32767;
extern const char16_t kPathSeparator;

// PathAppendW: joins with exactly one separator.
void AppendPath(Text& path, const Text& more);
// PathRemoveFileSpecW: drops the last component. Paths of any length, as are all below.
void RemoveLastComponent(Text& path);
// The name in the folder; empty without a folder, so that nothing lands at a bare name.
Text PathIn(const Text& folder, const Text& name);
// The folder the path lies in: RemoveLastComponent on a copy.
Text FolderOf(const Text& path);
// PathFindFileNameW: the text after the last separator.
Text FileNamePart(const Text& path);
// PathAddBackslashW.
void AddTrailingSeparator(Text& path);
bool IsRelativePath(const Text& path);
// Removes "." and ".." components.
Text CanonicalPath(const Text& path);
bool IsExistingFolder(const Text& path);
// The path is on a drive that is not there now: a drive letter with no drive or no medium behind
// it, or a network share that cannot be reached. Its folders may well exist once it is back.
bool IsOnAbsentDrive(const Text& path);
// PathUnExpandEnvStringsW: puts a matching environment-variable reference back; false when none matches.
bool UnExpandEnvironment(const Text& path, Text& unexpanded);

namespace detail {
// Drops "." components and resolves ".." ones after the first rootLength characters, which
// ".." never climbs above.
Text CollapseDots(const Text& path, size_t rootLength, char16_t separator, bool keepTrailingSeparator);
}  // namespace detail

}  // namespace kbt::platform
