// Processor time for the benchmarks' rates: on a machine shared with other work, that
// work's load does not count against a rate.
#pragma once

#include <ctime>

namespace mira::bench {

// Processor seconds of this process (all its threads).
inline double processSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace mira::bench
