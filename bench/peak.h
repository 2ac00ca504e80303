// Peak resident memory of one benchmark: the kernel's high-water mark is reset as the benchmark
// starts (Linux), so that what earlier benchmarks of the process held at their peak does not
// count. Elsewhere the counter reads the process's peak so far.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <fstream>

inline void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

inline void PeakMemory(benchmark::State& state) {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  state.counters["peak_MiB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}
