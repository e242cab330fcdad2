// Per-version layout constants of Jet 3 (Access 97) and Jet 4 (Access 2000-2003) files.
#pragma once

#include <cstdint>

namespace jet {

enum class JetVersion : uint8_t { kJet3 = 0, kJet4 = 1 };

struct Format {
    JetVersion version;
    uint32_t page_size;

    // Header page.
    uint32_t header_mask_len;  // bytes of page 0 from 0x18 under the fixed RC4 mask
    uint32_t password_len;     // bytes of the password field at 0x42

    // Data pages.
    uint32_t data_row_count;  // offset of the row count
    uint32_t data_row_table;  // offset of the first row-offset entry
    uint32_t max_row_size;
    uint32_t max_lval_row;  // largest single long-value row

    // Rows.
    uint32_t row_count_size;  // 1 (J3) or 2 (J4) bytes for the column count
    uint32_t var_entry_size;  // 1 (J3, plus jump table) or 2 (J4)

    // TDEF.
    uint32_t tdef_num_rows;
    uint32_t tdef_autonumber;
    uint32_t tdef_table_type;
    uint32_t tdef_max_cols;
    uint32_t tdef_num_var_cols;
    uint32_t tdef_num_cols;
    uint32_t tdef_num_idx;
    uint32_t tdef_num_real_idx;
    uint32_t tdef_owned_map;
    uint32_t tdef_free_map;
    uint32_t tdef_sections;
    uint32_t real_idx_counter_size;  // per real index, section 1
    uint32_t column_desc_size;
    uint32_t real_idx_def_size;
    uint32_t logical_idx_def_size;
    uint32_t name_len_size;  // 1 (J3) or 2 (J4) bytes before each name

    // Column descriptor offsets.
    uint32_t col_type;
    uint32_t col_number;
    uint32_t col_var_index;
    uint32_t col_sort_order;  // J4: precision at +0, scale at +1 for NUMERIC
    uint32_t col_flags;
    uint32_t col_ext_flags;  // J4 only (0 means none)
    uint32_t col_fixed_offset;
    uint32_t col_length;

    uint32_t usage_bitmap_pages;  // pages covered by one reference-map page: (page_size-4)*8
};

const Format& jet3Format();
const Format& jet4Format();
inline const Format& formatFor(JetVersion v) {
    return v == JetVersion::kJet3 ? jet3Format() : jet4Format();
}

// Page types (byte 0 of every page).
enum PageType : uint8_t {
    kPageHeader = 0x00,
    kPageData = 0x01,
    kPageTdef = 0x02,
    kPageIndexNode = 0x03,
    kPageIndexLeaf = 0x04,
    kPageUsageBitmap = 0x05,
};

// Row-offset entry flags on data pages.
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowOverflow = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1FFF;

}  // namespace jet
