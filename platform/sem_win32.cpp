#include "qvplatform.h"

extern "C" {

// A maximum count of 1 gives the binary rule for free: a post while the count
// is 1 fails in ReleaseSemaphore.
int qv_sem_init(qv_sem *s) {
    HANDLE h = CreateSemaphoreW(nullptr, 0, 1, nullptr);
    if (h == nullptr)
        return -1;
    s->handle = h;
    return 0;
}

int qv_sem_post(qv_sem *s) {
    if (s->handle == nullptr)
        return -1;
    return ReleaseSemaphore(s->handle, 1, nullptr) ? 0 : -1;
}

int qv_sem_wait(qv_sem *s) {
    if (s->handle == nullptr)
        return -1;
    return WaitForSingleObject(s->handle, INFINITE) == WAIT_OBJECT_0 ? 0 : -1;
}

int qv_sem_destroy(qv_sem *s) {
    if (s->handle == nullptr)
        return -1;
    const BOOL ok = CloseHandle(s->handle);
    s->handle = nullptr;
    return ok ? 0 : -1;
}
}
