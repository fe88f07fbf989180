#pragma once
// What a folder holds, and files that must not exist yet.
#include <vector>

#include "platform/text.h"

namespace kbt::platform {

// Names of the files (not folders) directly in a folder, in no particular order; false when the
// folder cannot be read.
[[nodiscard]] bool ListFileNames(const Text& folder, std::vector<Text>& names);
// Names of the folders directly in a folder ("." and ".." left out); false when it cannot be read.
[[nodiscard]] bool ListFolderNames(const Text& folder, std::vector<Text>& names);
// Creates an empty file of that name; false when the name is taken or cannot be created.
[[nodiscard]] bool CreateNewFile(const Text& path);

}  // namespace kbt::platform
