// Small helpers shared by the benchmarks: wall time, peak memory and timing mdb-export.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Peak resident memory of this process so far, in MiB.
inline double peakRssMiB() {
    struct rusage ru {};
    ::getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0;
}

inline std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Seconds mdb-export takes to read every table in `tables` of `file`, or a negative number
// when mdb-export is not installed or fails.
inline double timeMdbExport(const std::string& file, const std::vector<std::string>& tables) {
    if (std::system("command -v mdb-export >/dev/null 2>&1") != 0)
        return -1;
    const auto start = Clock::now();
    for (const auto& t : tables) {
        const std::string cmd =
            "mdb-export " + shellQuote(file) + " " + shellQuote(t) + " >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            return -1;
    }
    return secondsSince(start);
}

}  // namespace bench
