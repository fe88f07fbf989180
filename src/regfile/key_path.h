#pragma once
// Registry key paths below HKEY_CURRENT_USER. They always join with '\', whatever the file
// system's separator, and compare as the registry resolves them: whole names, without regard to
// ASCII letter case, empty names between doubled separators being no level.
#include <string_view>

#include "platform/text.h"

namespace kbt {

// The path with empty names dropped: "Software\\Kestrove\\\\X\\" is "Software\Kestrove\X".
Text NormalKeyPath(std::u16string_view path);
// "key\name"; the name alone below the root.
Text KeyPathIn(const Text& key, const Text& name);
// The key above; empty for a key at the root.
Text ParentKeyPath(const Text& key);
// 'key' is 'base' or lies below it.
bool IsKeySameOrBelow(const Text& key, const Text& base);

// The tool's own branch, "Software\Kestrove\Backup" with every version below it. Blanks around a
// name do not make it another one here: what might be the branch counts as the branch.
bool IsToolKey(const Text& key);
// The one rule for the registry: the client's key or below it, and never the tool's own branch.
// The reader, the undo point, the undo and the reset write nothing that fails it.
bool IsClientKey(const Text& key);

}  // namespace kbt
