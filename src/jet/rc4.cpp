#include "jet/rc4.h"

#include <utility>

namespace jet {

Rc4::Rc4(const uint8_t* key, size_t key_len) {
    for (int k = 0; k < 256; ++k)
        s_[k] = static_cast<uint8_t>(k);
    uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = static_cast<uint8_t>(j + s_[k] + key[k % key_len]);
        std::swap(s_[k], s_[j]);
    }
}

void Rc4::apply(uint8_t* data, size_t n) {
    for (size_t k = 0; k < n; ++k) {
        i_ = static_cast<uint8_t>(i_ + 1);
        j_ = static_cast<uint8_t>(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        data[k] ^= s_[static_cast<uint8_t>(s_[i_] + s_[j_])];
    }
}

void rc4Apply(uint32_t key32, uint8_t* data, size_t n) {
    const uint8_t key[4] = {static_cast<uint8_t>(key32), static_cast<uint8_t>(key32 >> 8),
                            static_cast<uint8_t>(key32 >> 16), static_cast<uint8_t>(key32 >> 24)};
    Rc4 rc4(key, 4);
    rc4.apply(data, n);
}

}  // namespace jet
