#include "qvplatform.h"

extern "C" {

int qv_thread_mutex_init(qv_thread_mutex *m) {
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0)
        return -1;
    const bool made = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
                      pthread_mutex_init(&m->mutex, &attr) == 0;
    pthread_mutexattr_destroy(&attr);
    return made ? 0 : -1;
}

// A failure (a lock this thread does not hold) is told, not passed over.
int qv_thread_mutex_lock(qv_thread_mutex *m) {
    return pthread_mutex_lock(&m->mutex) == 0 ? 0 : -1;
}

int qv_thread_mutex_unlock(qv_thread_mutex *m) {
    return pthread_mutex_unlock(&m->mutex) == 0 ? 0 : -1;
}

void qv_thread_mutex_destroy(qv_thread_mutex *m) {
    pthread_mutex_destroy(&m->mutex);
}
}
