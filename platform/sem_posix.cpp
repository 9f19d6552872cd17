#include "qvnoncopyable.h"
#include "qvplatform.h"

#include <new>

namespace {
// POSIX semaphores have no maximum count, so the binary rule (a post while
// the count is 1 fails) is kept with a mutex and a condition variable.
struct BinarySem {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    int count;
};

// Holds a semaphore's mutex for a scope.
class Locked : qv::noncopyable {
public:
    explicit Locked(pthread_mutex_t &m) : mutex(m) { pthread_mutex_lock(&mutex); }
    ~Locked() { pthread_mutex_unlock(&mutex); }

private:
    pthread_mutex_t &mutex;
};

// Runs `step` on the semaphore under its mutex; -1 for one never made.
template <class Step> int locked(qv_sem *s, Step step) {
    auto *b = static_cast<BinarySem *>(s->handle);
    if (!b)
        return -1;
    const Locked hold(b->mutex);
    return step(*b);
}
} // namespace

extern "C" {

int qv_sem_init(qv_sem *s) {
    auto *b = new (std::nothrow) BinarySem;
    if (!b)
        return -1;
    if (pthread_mutex_init(&b->mutex, nullptr) != 0) {
        delete b;
        return -1;
    }
    if (pthread_cond_init(&b->cond, nullptr) != 0) {
        pthread_mutex_destroy(&b->mutex);
        delete b;
        return -1;
    }
    b->count = 0;
    s->handle = b;
    return 0;
}

int qv_sem_post(qv_sem *s) {
    return locked(s, [](BinarySem &b) {
        if (b.count != 0)
            return -1; // binary: a second post before a wait fails
        b.count = 1;
        pthread_cond_signal(&b.cond);
        return 0;
    });
}

int qv_sem_wait(qv_sem *s) {
    return locked(s, [](BinarySem &b) {
        while (b.count == 0)
            pthread_cond_wait(&b.cond, &b.mutex);
        b.count = 0;
        return 0;
    });
}

int qv_sem_destroy(qv_sem *s) {
    auto *b = static_cast<BinarySem *>(s->handle);
    if (!b)
        return -1;
    pthread_cond_destroy(&b->cond);
    int rc = pthread_mutex_destroy(&b->mutex);
    delete b;
    s->handle = nullptr;
    return rc == 0 ? 0 : -1;
}
}
