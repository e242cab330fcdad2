#include "jet/text.h"

#include <bit>
#include <cstring>

namespace jet {

std::u16string decodeJet4Text(const uint8_t* b, size_t n) {
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        // At most one character per byte; mode switches carry none.
        std::u16string out(n - 2, u'\0');
        size_t len = 0;
        bool compressed = true;
        size_t i = 2;
        while (i < n) {
            if (b[i] == 0) {  // mode switch, carries no character
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out[len++] = b[i];
                ++i;
            } else {
                if (i + 1 >= n)
                    break;
                out[len++] = static_cast<char16_t>(b[i] | (b[i + 1] << 8));
                i += 2;
            }
        }
        out.resize(len);
        return out;
    }
    std::u16string out(n / 2, u'\0');
    if (out.empty())
        return out;  // `b` may be null then (an empty MEMO), which memcpy must never get
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.data(), b, 2 * out.size());
    } else {
        for (size_t k = 0; k < out.size(); ++k)
            out[k] = static_cast<char16_t>(b[2 * k] | (b[2 * k + 1] << 8));
    }
    return out;
}

}  // namespace jet
