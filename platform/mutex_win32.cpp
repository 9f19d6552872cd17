#include "qvplatform.h"

extern "C" {

// A critical section is recursive by nature, as the lock's contract asks.
int qv_thread_mutex_init(qv_thread_mutex *m) {
    InitializeCriticalSection(&m->cs);
    return 0;
}

int qv_thread_mutex_lock(qv_thread_mutex *m) {
    EnterCriticalSection(&m->cs);
    return 0;
}

int qv_thread_mutex_unlock(qv_thread_mutex *m) {
    LeaveCriticalSection(&m->cs);
    return 0;
}

void qv_thread_mutex_destroy(qv_thread_mutex *m) {
    DeleteCriticalSection(&m->cs);
}
}
