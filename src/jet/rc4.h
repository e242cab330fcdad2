// RC4, used by Jet for the header mask, encoded pages and masked security ids.
// Encrypting and decrypting are the same XOR with the keystream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace jet {

class Rc4 {
  public:
    explicit Rc4(const uint8_t* key, size_t key_len);
    // XORs n bytes in place with the next n keystream bytes.
    void apply(uint8_t* data, size_t n);

  private:
    std::array<uint8_t, 256> s_{};
    uint8_t i_ = 0;
    uint8_t j_ = 0;
};

// XORs data with the keystream of the 4-byte key `key32` (little-endian), from byte 0.
void rc4Apply(uint32_t key32, uint8_t* data, size_t n);

}  // namespace jet
