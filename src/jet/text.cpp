#include "jet/text.h"

namespace jet {

std::u16string decodeJet4Text(const uint8_t* b, size_t n) {
    std::u16string out;
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        out.reserve(n - 2);
        bool compressed = true;
        size_t i = 2;
        while (i < n) {
            if (b[i] == 0) {  // mode switch, carries no character
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.push_back(b[i]);
                ++i;
            } else {
                if (i + 1 >= n) break;
                out.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
                i += 2;
            }
        }
        return out;
    }
    out.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) out.push_back(static_cast<char16_t>(b[i] | (b[i + 1] << 8)));
    return out;
}

}  // namespace jet
