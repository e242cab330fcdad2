// Index key bytes for ascending index columns, as Jet 4 stores them in index pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/status.h"

namespace jet {

// Appends the key of a LONG value: flag 0x7F, then the value big-endian with the sign bit
// flipped, so that unsigned byte order equals numeric order.
void appendLongKey(std::vector<uint8_t>& key, int32_t value);

// Appends the key of a TEXT value under the "General (legacy)" sort order (1033, version 0):
// flag 0x7F, one or two code bytes per character, then 01 00. Trailing spaces are not part of
// the key and letters compare without case. Only printable ASCII other than the apostrophe
// and the hyphen has codes here (those two and every non-ASCII character need the extended
// tables); other text gives kNotSupported naming the character.
Status appendGeneralLegacyTextKey(std::vector<uint8_t>& key, const std::u16string& text);

// Appends the row pointer that ends a leaf entry: 3-byte page number big-endian, row number.
void appendEntryRowId(std::vector<uint8_t>& entry, uint32_t page, uint8_t row);

}  // namespace jet
