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

// One byte per comma-separated item: each item is read as a hex number (white space, sign and 0x
// allowed; a minus negates) and its low 8 bits kept; an item that is no number gives 0.
std::vector<uint8_t> DecodeHex(const Text& text);
// The same, appending to 'out' (no copy of the text).
void DecodeHexInto(std::u16string_view text, std::vector<uint8_t>& out);

}  // namespace kbt
