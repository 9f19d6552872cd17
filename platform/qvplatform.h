/*
 * Portability primitives shared by the discovery library, the XML client
 * library and the session layer: a recursive mutex, a binary semaphore,
 * socket helpers, threads and the CRC-16 of the relay header.
 *
 * Every function returns 0 on success and -1 on failure unless its comment
 * says otherwise. None of them records an error message; callers do.
 * All functions may be called from any thread.
 */
#ifndef QVPLATFORM_H
#define QVPLATFORM_H

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
/* Before windows.h, which would otherwise pull in the old winsock.h. */
#include <winsock2.h>

#include <windows.h>
#else
#include <pthread.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Recursive lock, allocated by the caller. The holder may lock it again and
 * must unlock it as often. */
typedef struct qv_thread_mutex {
#ifdef _WIN32
    CRITICAL_SECTION cs;
#else
    pthread_mutex_t mutex;
#endif
} qv_thread_mutex;

/* Binary semaphore: count 0 after init, maximum 1. */
typedef struct qv_sem {
    void *handle;
} qv_sem;

#ifdef _WIN32
typedef SOCKET qv_socket_t;
#define QV_INVALID_SOCKET INVALID_SOCKET
typedef HANDLE qv_thread_t;
#else
typedef int qv_socket_t;
#define QV_INVALID_SOCKET (-1)
typedef struct qv_thread_handle *qv_thread_t;
#endif

typedef void (*qv_thread_start_fn)(void);

/* Always 0. */
int qv_thread_mutex_init(qv_thread_mutex *m);
/* Blocks until the lock is free; always 0. */
int qv_thread_mutex_lock(qv_thread_mutex *m);
/* Releases one level; always 0. */
int qv_thread_mutex_unlock(qv_thread_mutex *m);
void qv_thread_mutex_destroy(qv_thread_mutex *m);

/* Creates the semaphore with count 0; -1 when it cannot be created. */
int qv_sem_init(qv_sem *s);
/* Raises the count to 1; -1 when it is already 1 or the post fails. */
int qv_sem_post(qv_sem *s);
/* Waits without time-out for count 1 and lowers it; -1 when the wait fails. */
int qv_sem_wait(qv_sem *s);
/* Frees the semaphore; the result is the platform's and callers ignore it. */
int qv_sem_destroy(qv_sem *s);

/* Starts the socket layer (a no-op on POSIX). Called before every socket. */
int qv_socket_startup(void);
int qv_socket_nonblock(qv_socket_t s);
int qv_socket_close(qv_socket_t s);
/* Raises the process's soft limit of open descriptors to its hard limit, so
 * that many connections can be open at once. Call it at program start,
 * before other threads open descriptors. 0, or -1 when the limit cannot be
 * read or changed (it then stays as it was). */
int qv_raise_fd_limit(void);

/* Starts a thread at start() with the default stack; NULL when none. */
qv_thread_t qv_thread_create(qv_thread_start_fn start);
/* 0 when the handle names a thread, -1 when creation gave none. */
int qv_thread_valid(qv_thread_t t);
/* Waits at most 3000 ms for the thread to end. -1 when it is still running
 * (the handle stays valid); 0 when it ended, and the handle is then closed. */
int qv_thread_join(qv_thread_t t);
/* Releases the handle without waiting; the thread runs on detached. 0. */
int qv_thread_close(qv_thread_t t);
/* Ends the thread forcibly; 0 or -1. The handle stays to be joined or closed. */
int qv_thread_kill(qv_thread_t t);
/* Ends the calling thread; does not return. */
void qv_thread_exit(void);
/* Sleeps the calling thread for ms milliseconds. */
void qv_sleep_ms(unsigned ms);

/* Milliseconds of a monotonic clock: only differences mean anything. */
int64_t qv_monotonic_ms(void);

/* CRC-16/XMODEM: polynomial 0x1021, MSB first, from `initial`. */
uint16_t qv_crc16(uint16_t initial, const void *data, size_t length);

#ifdef __cplusplus
}
#endif

#endif
