#include "thread_start.h"

#include <cerrno>
#include <ctime>
#include <new>

// The handle owns the pthread until it is joined or closed. Start functions
// take no argument, so the trampoline gets the function from the handle.
struct qv_thread_handle {
    pthread_t thread;
};

namespace {
void *trampoline(void *arg) {
    qv::run_start(arg);
    return nullptr;
}
} // namespace

extern "C" {

qv_thread_t qv_thread_create(qv_thread_start_fn start) {
    if (!start)
        return nullptr;
    auto *h = new (std::nothrow) qv_thread_handle;
    if (!h)
        return nullptr;
    if (pthread_create(&h->thread, nullptr, trampoline, qv::start_argument(start)) != 0) {
        delete h;
        return nullptr;
    }
    return h;
}

int qv_thread_valid(qv_thread_t t) {
    return t ? 0 : -1;
}

int qv_thread_join(qv_thread_t t) {
    if (!t)
        return -1;
    timespec deadline{};
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += qv::join_limit_ms / 1000;
    deadline.tv_nsec += (qv::join_limit_ms % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    if (pthread_timedjoin_np(t->thread, nullptr, &deadline) != 0)
        return -1;
    delete t;
    return 0;
}

int qv_thread_close(qv_thread_t t) {
    if (!t)
        return 0;
    pthread_detach(t->thread);
    delete t;
    return 0;
}

int qv_thread_kill(qv_thread_t t) {
    if (!t)
        return -1;
    return pthread_cancel(t->thread) == 0 ? 0 : -1;
}

void qv_thread_exit(void) {
    pthread_exit(nullptr);
}

void qv_sleep_ms(unsigned ms) {
    timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}
}
