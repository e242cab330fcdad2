// Single-byte Windows code pages used by Jet 3 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

// Code pages with an exact table here: 1252 (Western) and 1256 (Arabic/Persian). Any other
// code page is read as 1252, which is what other Jet readers do too.
bool isKnownCodePage(uint16_t code_page);
char16_t codePageToUnicode(uint16_t code_page, uint8_t byte);
std::u16string decodeCodePage(uint16_t code_page, const uint8_t* data, size_t n);

}  // namespace jet
