#include "jet/long_value_ledger.h"

#include <algorithm>

namespace jet {
namespace {

std::string where(RowPointer p) {
    return "page " + std::to_string(p.page) + " row " + std::to_string(p.row);
}

}  // namespace

void LongValueLedger::addValue(RowPointer at, uint32_t next, uint32_t table) {
    values_.push_back({at.encode(), next, table});
}

void LongValueLedger::addPointer(RowPointer target, bool chain, RowPointer from, uint32_t table,
                                 uint32_t column) {
    pointers_.push_back({target.encode(), from.encode(), table, column, chain ? 1u : 0u});
}

LongValueLedger::Value* LongValueLedger::find(uint32_t at) {
    auto it = std::lower_bound(values_.begin(), values_.end(), at,
                               [](const Value& v, uint32_t a) { return v.at < a; });
    return it != values_.end() && it->at == at ? &*it : nullptr;
}

std::vector<LongValueLedger::Problem> LongValueLedger::match(bool maps) {
    std::vector<Problem> out;
    for (const Pointer& p : pointers_) {
        const RowPointer from = RowPointer::decode(p.from);
        auto problem = [&](std::string what) { out.push_back({p.table, p.column, from, what}); };
        // A chain ends at a link whose next pointer is 0; a loop meets a used link.
        for (uint32_t at = p.target; at != 0;) {
            const RowPointer link = RowPointer::decode(at);
            Value* v = find(at);
            if (!v) {
                problem("its long value at " + where(link) + " is not there");
                break;
            }
            if (maps && v->table != p.table) {
                problem("its long value at " + where(link) +
                        " lies on a page that no long-value map of the table lists");
                break;
            }
            if (v->used) {
                problem("its long value at " + where(link) + " is also used by " +
                        (v->user == p.from ? std::string("this row (a loop, or another column)")
                                           : where(RowPointer::decode(v->user))));
                break;
            }
            v->used = true;
            v->user = p.from;
            at = p.chain ? v->next : 0;
        }
    }
    return out;
}

}  // namespace jet
