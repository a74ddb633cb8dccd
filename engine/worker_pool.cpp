#include "engine/worker_pool.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace quilfen {

namespace {

// Checks of a flag before a thread goes to sleep on it: calls that follow each
// other closely (a benchmark's repetitions) then find their helpers awake,
// while an idle program costs nothing beyond a few tens of microseconds.
constexpr int kSpinChecks = 4000;

inline void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
    asm volatile("yield");
#endif
}

}  // namespace

WorkerPool& WorkerPool::instance()
{
    static WorkerPool pool;
    return pool;
}

WorkerPool::~WorkerPool()
{
    std::lock_guard lock(m_runMutex);
    m_stop.store(true, std::memory_order_relaxed);
    m_generation.fetch_add(1, std::memory_order_release);
    m_generation.notify_all();
    for (auto& t : m_threads)
        t.join();
}

void WorkerPool::reserve(int threads)
{
    std::lock_guard lock(m_runMutex);
    reserveLocked(threads);
}

void WorkerPool::reserveLocked(int threads)
{
    const auto workers = static_cast<std::size_t>(std::clamp(threads, 1, kMaxThreads) - 1);
    try {
        while (m_threads.size() < workers) {
            // The generation before the next run: a new worker must not take
            // that run for one it has already seen.
            const std::uint32_t seen = m_generation.load(std::memory_order_relaxed);
            m_threads.emplace_back([this, seen] { workerLoop(seen); });
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked for: runs use the ones there are.
    }
}

void WorkerPool::runErased(int threads, void (*call)(void*), void* task)
{
    std::lock_guard lock(m_runMutex);
    reserveLocked(threads);
    const int helpers =
        std::min(std::clamp(threads, 1, kMaxThreads) - 1, static_cast<int>(m_threads.size()));
    if (helpers == 0) {
        call(task);
        return;
    }

    m_call = call;
    m_task = task;
    m_openSeats.store(helpers);
    m_generation.fetch_add(1, std::memory_order_release);
    m_generation.notify_all();

    try {
        call(task);
    } catch (...) {
        waitForHelpers();
        takeHelperError();  // the caller's own exception wins
        throw;
    }
    waitForHelpers();
    if (const std::exception_ptr error = takeHelperError())
        std::rethrow_exception(error);
}

std::exception_ptr WorkerPool::takeHelperError()
{
    std::lock_guard lock(m_errorMutex);
    return std::exchange(m_helperError, nullptr);
}

// Closes the run to latecomers, then waits for the helpers that joined it.
void WorkerPool::waitForHelpers()
{
    m_openSeats.store(0);
    for (int spin = 0; spin < kSpinChecks; ++spin) {
        if (m_busy.load() == 0)
            return;
        cpuRelax();
    }
    for (int busy; (busy = m_busy.load()) != 0;)
        m_busy.wait(busy);
}

// A worker announces itself as busy before it takes a seat, so that a caller
// who has closed the run and then sees nobody busy knows nobody has a seat.
// All four operations on m_busy and m_openSeats are sequentially consistent.
void WorkerPool::workerLoop(std::uint32_t seen)
{
    for (;;) {
        std::uint32_t generation = seen;
        for (int spin = 0; spin < kSpinChecks && generation == seen; ++spin) {
            cpuRelax();
            generation = m_generation.load(std::memory_order_acquire);
        }
        while (generation == seen) {
            m_generation.wait(seen, std::memory_order_acquire);
            generation = m_generation.load(std::memory_order_acquire);
        }
        seen = generation;
        if (m_stop.load(std::memory_order_relaxed))
            return;

        m_busy.fetch_add(1);
        int open = m_openSeats.load();
        while (open > 0 && !m_openSeats.compare_exchange_weak(open, open - 1)) {
        }
        if (open > 0) {
            // An exception must not leave the thread (that would end the
            // program): the caller rethrows it once the run is over.
            try {
                m_call(m_task);
            } catch (...) {
                std::lock_guard lock(m_errorMutex);
                if (!m_helperError)
                    m_helperError = std::current_exception();
            }
        }
        if (m_busy.fetch_sub(1) == 1)
            m_busy.notify_one();
    }
}

}  // namespace quilfen
