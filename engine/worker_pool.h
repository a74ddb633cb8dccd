#pragma once

// Threads that live for the whole run and help the calling thread with one
// task at a time.

#include <atomic>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quilfen {

class WorkerPool {
public:
    // The program's one pool; its threads are joined at exit.
    static WorkerPool& instance();

    WorkerPool() = default;
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Most threads one run can use, the caller included.
    static constexpr int kMaxThreads = 64;

    // Starts workers now so that runs with up to `threads` threads create none.
    void reserve(int threads);

    // Calls task() on the calling thread and on up to threads − 1 workers at
    // once, and returns when every call has returned. Workers that are not
    // awake by the time the caller's own call returns are not waited for, so
    // the task must share its work out itself (an atomic counter, say) and
    // must not count on a number of calls. Runs from several threads take turns.
    //
    // Exceptions: run() returns only once every call has returned, thrown or
    // not. If the caller's own call throws, that exception leaves run(). If
    // only helpers throw, the first one to throw is caught on its thread and
    // rethrown here on the calling thread; the others are dropped. The
    // helpers stay in the pool, ready for the next run, and a task that
    // throws on some threads still has the others doing their share.
    template <class Task>
    void run(int threads, Task& task)
    {
        runErased(threads, [](void* t) { (*static_cast<Task*>(t))(); }, &task);
    }

private:
    void runErased(int threads, void (*call)(void*), void* task);
    void reserveLocked(int threads);
    void waitForHelpers();
    std::exception_ptr takeHelperError();
    void workerLoop(std::uint32_t seen);

    std::mutex m_runMutex;  // one run at a time; guards m_threads
    std::vector<std::thread> m_threads;
    std::atomic<std::uint32_t> m_generation{0};  // changes with every run
    std::atomic<int> m_openSeats{0};  // helpers that may still join this run
    std::atomic<int> m_busy{0};       // workers between joining and reporting back
    std::atomic<bool> m_stop{false};
    // The current task: written only while no worker may run one (no open
    // seat, nobody busy), and read only after taking a seat, which publishes it.
    void (*m_call)(void*) = nullptr;
    void* m_task = nullptr;
    // The first exception a helper's call threw in the current run.
    std::mutex m_errorMutex;
    std::exception_ptr m_helperError;
};

}  // namespace quilfen
