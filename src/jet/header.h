// Page 0 of a Jet file: version detection, the masked header fields and the database
// password.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/status.h"

namespace jet {

struct Header {
    JetVersion version = JetVersion::kJet4;
    uint32_t page_size = 4096;
    uint16_t code_page = 1252;
    uint16_t sort_order = 1033;  // LCID of the default collation
    uint8_t sort_version = 0;    // J4: 0 = "General legacy"
    uint32_t db_key = 0;         // non-zero: pages >= 1 are RC4-encoded
    double creation_date = 0;    // OLE date; J4 only (0 for J3)
    // The password field with every mask removed: J4 UTF-16LE (40 bytes), J3 code-page bytes
    // (20 bytes, the rest zero). All zero means no password.
    std::array<uint8_t, 40> password_plain{};

    const Format& format() const { return formatFor(version); }
    bool hasPassword() const;
    // The stored password, cut at the first NUL; J3 bytes decoded with the code page.
    std::u16string password() const;
    // True when `candidate` is exactly the stored password (case-sensitive, no trimming).
    // A file without a password accepts only the empty candidate.
    bool passwordMatches(const std::u16string& candidate) const;
};

// Decodes page 0. Errors: kNotJet (wrong magic or type byte), kUnsupportedVersion (ACE,
// MSISAM, unknown version byte; the message says what the file is), kCorrupt (too short).
Result<Header> parseHeader(const uint8_t* page0, size_t len);

// Removes (or applies; it is the same XOR) the fixed RC4 mask over the header range.
void toggleHeaderMask(JetVersion version, uint8_t* page0);

// The 4-byte mask that J4 XORs over the password field, from the creation date.
std::array<uint8_t, 4> passwordDateMask(double creation_date);

// The key under which J4 stores MSysObjects.Owner and MSysACEs.SID values, folded from
// an unmasked page 0 (see the writer). `page0` must have the fixed mask removed.
uint32_t sidMaskKey(const uint8_t* page0_unmasked);

// Builds a complete page 0 for a new, empty Jet 4 database with key 0. The password must
// be at most 20 UTF-16 code units (kInvalidArgument otherwise).
Result<std::vector<uint8_t>> buildJet4Header(uint16_t code_page, uint16_t sort_order,
                                             double creation_date, const std::u16string& password);

}  // namespace jet
