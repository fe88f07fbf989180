#pragma once
// The byte form of the settings file's value lines: "61,00,62,00".
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace kbt {

// Appends each byte as two lowercase hex digits, commas between bytes. False only without a data pointer.
bool EncodeHex(Text& out, const uint8_t* data, size_t count);

// Appends the bytes of a list of one or two hex digits per byte, commas between them, blanks
// around them, a comma after the last allowed (as the registry editor wraps lines after one).
// False for anything else; 'out' may hold part of the bytes then. An empty text is no bytes.
[[nodiscard]] bool DecodeHex(std::u16string_view text, std::vector<uint8_t>& out);

}  // namespace kbt
