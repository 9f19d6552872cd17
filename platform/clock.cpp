#include "qvplatform.h"

#include <chrono>

extern "C" int64_t qv_monotonic_ms(void) {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
