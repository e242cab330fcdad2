// Template part of row_reader.h.
#pragma once

#include <string>

#include "jet/data_page.h"
#include "jet/format.h"

namespace jet {

template <typename Visit>
Status forEachRow(Pager& pager, const std::vector<uint32_t>& pages, const TableDef& def,
                  Visit visit) {
    for (uint32_t n : pages) {
        uint16_t count = 0;
        {
            JET_ASSIGN_OR_RETURN(PageRef p, pager.read(n));
            if (p->data()[0] != kPageData || le32(p->data() + 4) != def.tdef_page)
                continue;
            count = le16(p->data() + 12);
        }
        for (uint32_t r = 0; r < count; ++r) {
            const RowPointer where{n, static_cast<uint8_t>(r)};
            JET_ASSIGN_OR_RETURN(auto bytes, readStoredRow(pager, where));
            if (!bytes)
                continue;
            JET_ASSIGN_OR_RETURN(RowFields fields, RowFields::parse(def, std::move(*bytes), where));
            JET_RETURN_IF_ERROR(visit(where, fields));
        }
    }
    return Status::ok();
}

}  // namespace jet
