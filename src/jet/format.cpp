#include "jet/format.h"

namespace jet {

const Format& jet3Format() {
    static const Format f{
        .version = JetVersion::kJet3,
        .page_size = 2048,
        .header_mask_len = 126,
        .password_len = 20,
        .data_row_count = 8,
        .data_row_table = 10,
        .max_row_size = 2012,
        .max_lval_row = 2032,
        .row_count_size = 1,
        .var_entry_size = 1,
        .tdef_num_rows = 12,
        .tdef_autonumber = 16,
        .tdef_table_type = 20,
        .tdef_max_cols = 21,
        .tdef_num_var_cols = 23,
        .tdef_num_cols = 25,
        .tdef_num_idx = 27,
        .tdef_num_real_idx = 31,
        .tdef_owned_map = 35,
        .tdef_free_map = 39,
        .tdef_sections = 43,
        .real_idx_counter_size = 8,
        .column_desc_size = 18,
        .real_idx_def_size = 39,
        .logical_idx_def_size = 20,
        .name_len_size = 1,
        .col_type = 0,
        .col_number = 1,
        .col_var_index = 3,
        .col_sort_order = 9,
        .col_flags = 13,
        .col_ext_flags = 0,
        .col_fixed_offset = 14,
        .col_length = 16,
        .usage_bitmap_pages = (2048 - 4) * 8,
    };
    return f;
}

const Format& jet4Format() {
    static const Format f{
        .version = JetVersion::kJet4,
        .page_size = 4096,
        .header_mask_len = 128,
        .password_len = 40,
        .data_row_count = 12,
        .data_row_table = 14,
        .max_row_size = 4060,
        .max_lval_row = 4076,
        .row_count_size = 2,
        .var_entry_size = 2,
        .tdef_num_rows = 16,
        .tdef_autonumber = 20,
        .tdef_table_type = 40,
        .tdef_max_cols = 41,
        .tdef_num_var_cols = 43,
        .tdef_num_cols = 45,
        .tdef_num_idx = 47,
        .tdef_num_real_idx = 51,
        .tdef_owned_map = 55,
        .tdef_free_map = 59,
        .tdef_sections = 63,
        .real_idx_counter_size = 12,
        .column_desc_size = 25,
        .real_idx_def_size = 52,
        .logical_idx_def_size = 28,
        .name_len_size = 2,
        .col_type = 0,
        .col_number = 5,
        .col_var_index = 7,
        .col_sort_order = 11,
        .col_flags = 15,
        .col_ext_flags = 16,
        .col_fixed_offset = 21,
        .col_length = 23,
        .usage_bitmap_pages = (4096 - 4) * 8,
    };
    return f;
}

}  // namespace jet
