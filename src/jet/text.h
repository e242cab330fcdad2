// Text encodings inside Jet 4 rows and TDEFs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace jet {

// Decodes Jet 4 text: plain UTF-16LE, or Access's "Unicode compression" when the value starts
// with FF FE (then a 00 byte toggles between one-byte and two-byte characters). A trailing odd
// byte is ignored.
std::u16string decodeJet4Text(const uint8_t* data, size_t n);

}  // namespace jet
