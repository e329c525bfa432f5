// What the diagnostic log costs. Off, none of its record paths allocates,
// locks, reads the clock or writes; on, each record is one write(2) and
// still allocates nothing. operator new, pthread_mutex_lock, clock_gettime
// and write are replaced in this program to count the calls of the thread
// under test, so it is a program of its own; sanitizer builds skip it because
// their runtimes intercept the same functions.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <stdexcept>

#include "D2xxDiagnostics.h"
#include "DiagnosticLog.h"
#include "FTDIController.h"
#include "MoveDiagnostics.h"

namespace {

thread_local bool t_counting = false;
thread_local int t_allocations = 0;
thread_local int t_locks = 0;
thread_local int t_clockReads = 0;
thread_local int t_writes = 0;

}  // namespace

extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    using LockFunction = int (*)(pthread_mutex_t*);
    static const LockFunction real =
        reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (t_counting)
        ++t_locks;
    return real(mutex);
}

extern "C" int clock_gettime(clockid_t clock, struct timespec* time) {
    if (t_counting)
        ++t_clockReads;
    return static_cast<int>(syscall(SYS_clock_gettime, clock, time));
}

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
    if (t_counting)
        ++t_writes;
    return syscall(SYS_write, fd, buffer, count);
}

void* operator new(std::size_t size) {
    if (t_counting)
        ++t_allocations;
    if (void* memory = std::malloc(size == 0 ? 1 : size))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

namespace {

using Category = DiagnosticLog::Category;

/// Every kind of record the plug-in writes, once: 8 records.
void writeEveryKindOfRecord() {
    TT_LOG(Device, Error, "a failure %d", 1);
    TT_LOG(Move, Debug, "a detail %s", "text");
    D2xxDiagnostics::checked("FT_Write", FT_IO_ERROR);
    D2xxDiagnostics::checkTransfer("FT_Read", FT_OK, 0, 1);
    MoveDiagnostics::started(200, FTDIController::TT_TURN_CLOCKWISE);
    MoveDiagnostics::ended(false, true, false, 90.0);
    static_cast<void>(TT_LOG_REFUSAL(Driver, "shutter release refused"));
    t_counting = false;
    try {
        throw std::runtime_error("thrown outside the counted stretch");
    } catch (...) {
        t_counting = true;
        DiagnosticLog::writeCurrentException(Category::Plugin, "the callback");
        t_counting = false;
    }
}

struct Counts {
    int allocations, locks, clockReads, writes;
};

Counts countedRun() {
    t_allocations = t_locks = t_clockReads = t_writes = 0;
    t_counting = true;
    writeEveryKindOfRecord();
    t_counting = false;
    return {t_allocations, t_locks, t_clockReads, t_writes};
}

}  // namespace

TEST(DiagnosticLogCost, OffItAllocatesLocksReadsTheClockAndWritesNothing) {
    DiagnosticLog::configure("off");
    for (int i = 0; i < 1000; ++i) {
        const Counts counts = countedRun();
        ASSERT_EQ(counts.allocations, 0);
        ASSERT_EQ(counts.locks, 0);
        ASSERT_EQ(counts.clockReads, 0);
        ASSERT_EQ(counts.writes, 0);
    }
}

TEST(DiagnosticLogCost, OnEachRecordIsOneWriteAndNoAllocation) {
    ASSERT_EQ(DiagnosticLog::configure("debug:/dev/null"), "");
    const Counts counts = countedRun();
    DiagnosticLog::configure("");
    EXPECT_EQ(counts.writes, 8);
    EXPECT_EQ(counts.clockReads, 8);
    EXPECT_EQ(counts.locks, 8) << "one lock of the sink per line";
    EXPECT_EQ(counts.allocations, 0);
}
