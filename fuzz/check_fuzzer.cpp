// libFuzzer entry point: opens the input as a Jet database (no password check) and runs the
// integrity check over it, as every conversion's analysis does, then formats each finding.
// Damage must come back as findings or an error value; a crash, hang or sanitizer report is a
// bug, and so is a report that contradicts itself.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "fuzz_file.h"
#include "jet/database.h"
#include "jet/integrity_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto db = fuzz::openInput(data, size);
    if (!db)
        return 0;
    auto report = jet::checkIntegrity(**db);
    if (!report)
        return 0;
    uint64_t damage = 0;
    for (const jet::Finding& f : report->findings) {
        damage += f.isDamage();
        (void)f.toString();
    }
    if (report->findings.size() > jet::IntegrityReport::kMaxFindings + report->tables ||
        damage > report->damage || (report->consistent() && !report->damage_by_table.empty())) {
        __builtin_trap();
    }
    return 0;
}
