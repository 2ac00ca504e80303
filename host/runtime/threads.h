// Our host's thread count: how many OS threads the host's thread pool runs at once. It lives in
// the host library beside the threads (c4d_thread.h), so that the application, the tests and the
// modules see one setting.
#pragma once

#include "ge_math.h"

namespace hostrt {

// Sets what GeGetCurrentThreadCount answers; 0 or less goes back to the machine's hardware
// threads. Tests run the pool with 1, 2 or 16 threads this way.
void SetThreadCount(Int32 count);

}  // namespace hostrt
