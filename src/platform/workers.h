// How many worker threads a parallel loop may keep busy.
#pragma once

namespace quorix::platform {

// QUORIX_NUM_THREADS when it holds a whole number from 1 (a larger one is
// taken as it is: the user asked), else the processors this process may run
// on (its affinity mask, which taskset, cgroups' cpusets and batch systems
// narrow), else the machine's; at least 1. A value that is no such number
// is left aside, as if unset.
unsigned WorkerCount();

}  // namespace quorix::platform
