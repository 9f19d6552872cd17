#include "thread_start.h"

namespace {

DWORD WINAPI trampoline(LPVOID arg) {
    qv::run_start(arg);
    return 0;
}

} // namespace

extern "C" {

qv_thread_t qv_thread_create(qv_thread_start_fn start) {
    if (!start)
        return nullptr;
    return CreateThread(nullptr, 0, trampoline, qv::start_argument(start), 0, nullptr);
}

int qv_thread_valid(qv_thread_t t) {
    return t != nullptr ? 0 : -1;
}

int qv_thread_join(qv_thread_t t) {
    if (!t)
        return -1;
    if (WaitForSingleObject(t, qv::join_limit_ms) != WAIT_OBJECT_0)
        return -1;
    CloseHandle(t);
    return 0;
}

int qv_thread_close(qv_thread_t t) {
    if (t)
        CloseHandle(t);
    return 0;
}

int qv_thread_kill(qv_thread_t t) {
    if (!t)
        return -1;
    return TerminateThread(t, 1) ? 0 : -1;
}

void qv_thread_exit(void) {
    ExitThread(0);
}

void qv_sleep_ms(unsigned ms) {
    Sleep(ms);
}
}
