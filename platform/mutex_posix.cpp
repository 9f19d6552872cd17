#include "qvplatform.h"

extern "C" {

int qv_thread_mutex_init(qv_thread_mutex *m) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&m->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return 0;
}

int qv_thread_mutex_lock(qv_thread_mutex *m) {
    pthread_mutex_lock(&m->mutex);
    return 0;
}

int qv_thread_mutex_unlock(qv_thread_mutex *m) {
    pthread_mutex_unlock(&m->mutex);
    return 0;
}

void qv_thread_mutex_destroy(qv_thread_mutex *m) {
    pthread_mutex_destroy(&m->mutex);
}
}
