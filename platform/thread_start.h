// What the two thread layers share: the start function travels as the
// thread's argument (start functions take none), and a join waits a bounded
// time for a thread that should have ended by then.
#ifndef QV_THREAD_START_H
#define QV_THREAD_START_H

#include "qvplatform.h"

namespace qv {

inline constexpr unsigned join_limit_ms = 3000;

inline void *start_argument(qv_thread_start_fn start) {
    return reinterpret_cast<void *>(start);
}

// Only the start function is read: the handle may be closed while the thread
// runs on.
inline void run_start(void *argument) {
    reinterpret_cast<qv_thread_start_fn>(argument)();
}

} // namespace qv

#endif
