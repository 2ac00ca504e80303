// Peak resident memory of one benchmark: as the benchmark starts, the memory earlier ones freed
// goes back to the system and the kernel's high-water mark is reset (Linux), so that what they
// held does not count. Elsewhere the counter reads the process's peak so far.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <fstream>

inline void ResetPeakMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
  std::ofstream("/proc/self/clear_refs") << "5";
}

inline void PeakMemory(benchmark::State& state) {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_MiB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}
