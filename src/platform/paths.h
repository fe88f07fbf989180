#pragma once
// Path handling with the shell's path-function semantics, in the platform's own separator.
#include "platform/text.h"

namespace kbt::platform {

constexpr size_t kMaxPath = 260;
extern const char16_t kPathSeparator;

// PathAppendW: joins with exactly one separator.
void AppendPath(Text& path, const Text& more);
// PathRemoveFileSpecW: drops the last component.
void RemoveLastComponent(Text& path);
// PathFindFileNameW: the text after the last separator.
Text FileNamePart(const Text& path);
// PathAddBackslashW.
void AddTrailingSeparator(Text& path);
bool IsRelativePath(const Text& path);
// Removes "." and ".." components.
Text CanonicalPath(const Text& path);
bool IsExistingFolder(const Text& path);
// PathUnExpandEnvStringsW: puts a matching environment-variable reference back; false when none matches.
bool UnExpandEnvironment(const Text& path, Text& unexpanded);

}  // namespace kbt::platform
