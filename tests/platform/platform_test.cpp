#include "qvplatform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Mutex, RecursiveLockBlocksOthersUntilFullyReleased) {
    qv_thread_mutex m;
    ASSERT_EQ(qv_thread_mutex_init(&m), 0);
    EXPECT_EQ(qv_thread_mutex_lock(&m), 0);
    EXPECT_EQ(qv_thread_mutex_lock(&m), 0); // same thread again: no deadlock

    std::atomic<bool> got{false};
    std::thread other([&] {
        qv_thread_mutex_lock(&m);
        got = true;
        qv_thread_mutex_unlock(&m);
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(got);
    qv_thread_mutex_unlock(&m);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(got) << "one unlock of two must keep the lock";
    qv_thread_mutex_unlock(&m);
    other.join();
    EXPECT_TRUE(got);
    qv_thread_mutex_destroy(&m);
}

TEST(Semaphore, BinaryCountAndBlockingWait) {
    qv_sem s;
    ASSERT_EQ(qv_sem_init(&s), 0);
    EXPECT_EQ(qv_sem_post(&s), 0);
    EXPECT_EQ(qv_sem_post(&s), -1) << "count is already 1";
    EXPECT_EQ(qv_sem_wait(&s), 0); // returns at once

    std::atomic<bool> woke{false};
    std::thread waiter([&] {
        qv_sem_wait(&s);
        woke = true;
    });
    std::this_thread::sleep_for(150ms);
    EXPECT_FALSE(woke) << "second wait must block until a post";
    EXPECT_EQ(qv_sem_post(&s), 0);
    waiter.join();
    EXPECT_TRUE(woke);
    qv_sem_destroy(&s);
}

namespace {
std::atomic<int> g_ran{0};
std::atomic<bool> g_release{false};
void quick_thread() {
    g_ran = 1;
}
void slow_thread() {
    // Ends after about 5 s, or earlier when the test lets it go.
    for (int i = 0; i < 50 && !g_release; ++i)
        qv_sleep_ms(100);
    g_ran = 2;
}
} // namespace

TEST(Thread, JoinWaitsForAThreadThatEnds) {
    g_ran = 0;
    qv_thread_t t = qv_thread_create(quick_thread);
    ASSERT_EQ(qv_thread_valid(t), 0);
    EXPECT_EQ(qv_thread_join(t), 0);
    EXPECT_EQ(g_ran, 1);
    EXPECT_EQ(qv_thread_valid(qv_thread_create(nullptr)), -1);
}

TEST(Thread, JoinGivesUpAfterThreeSeconds) {
    g_ran = 0;
    g_release = false;
    qv_thread_t t = qv_thread_create(slow_thread);
    ASSERT_EQ(qv_thread_valid(t), 0);
    auto start = Clock::now();
    EXPECT_EQ(qv_thread_join(t), -1);
    auto waited = Clock::now() - start;
    EXPECT_GE(waited, 2900ms);
    EXPECT_LT(waited, 4500ms);
    EXPECT_NE(g_ran, 2);
    // The handle is still ours after a failed join.
    g_release = true;
    EXPECT_EQ(qv_thread_join(t), 0);
    EXPECT_EQ(g_ran, 2);
}

TEST(Crc16, XmodemCheckValues) {
    EXPECT_EQ(qv_crc16(0, "abc", 3), 0x9DD6);
    EXPECT_EQ(qv_crc16(0, "123456789", 9), 0x31C3);
    EXPECT_EQ(qv_crc16(0, "", 0), 0);
    // Chaining over two pieces gives the CRC of the whole.
    EXPECT_EQ(qv_crc16(qv_crc16(0, "1234", 4), "56789", 5), 0x31C3);
}

TEST(Socket, NonblockAndClose) {
    EXPECT_EQ(qv_socket_startup(), 0);
    EXPECT_EQ(qv_socket_nonblock(-1), -1);
    EXPECT_EQ(qv_socket_close(QV_INVALID_SOCKET), -1);
}
