#include "engine/escape_time.h"

#include "engine/escape_time_simd.h"
#include "engine/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace quilfen {

namespace {

std::atomic<int> g_threads{0};  // 0: one per hardware thread

// Iterations per point below which whole groups of columns are handed out.
constexpr std::int32_t kCheapColumnsIterations = 64;

int hardwareThreads()
{
    return std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1,
                      WorkerPool::kMaxThreads);
}

}  // namespace

int setEngineThreads(int threads)
{
    const int used = threads <= 0 ? hardwareThreads() : std::min(threads, WorkerPool::kMaxThreads);
    g_threads.store(threads <= 0 ? 0 : used, std::memory_order_relaxed);
    WorkerPool::instance().reserve(used);
    return used;
}

int engineThreads()
{
    const int threads = g_threads.load(std::memory_order_relaxed);
    return threads == 0 ? hardwareThreads() : threads;
}

void computeIterMap(const CalcCondition& cond, std::int32_t halfSize, std::int32_t maxIter,
                    IterGrid& grid, EngineWork work)
{
    if (halfSize < 0)
        return;
    const std::int32_t last = std::min(halfSize, kMaxHalfSize) * 2;
    computeColumns(gridFrame(cond, 2 * halfSize), 0, last + 1, last, maxIter, grid[0].data(),
                   kGridSide, work);
}

void computeColumns(const GridFrame& frame, std::int32_t firstColumn, std::int32_t columns,
                    std::int32_t lastRow, std::int32_t maxIter, std::int32_t* counts,
                    std::ptrdiff_t columnStride, EngineWork work)
{
    if (columns < 1 || lastRow < 0)
        return;
    if (maxIter < 1) {
        // No iteration runs, so every count is maxIter + 1, as in the reference.
        for (std::int32_t c = 0; c < columns; ++c)
            std::fill_n(counts + c * columnStride, lastRow + 1, maxIter + 1);
        return;
    }

    std::atomic<std::int32_t> nextColumn{firstColumn};
    EscapeJob job;
    job.frame = frame;
    job.lastColumn = firstColumn + columns - 1;
    job.lastRow = lastRow;
    job.maxIter = maxIter;
    job.stopCycles = work == EngineWork::StopCycles;
    // Columns are shared one by one, which balances columns of very uneven
    // cost, except under limits so low that a column is cheaper than the
    // counter's trip between cores.
    job.columnsPerGrab = std::clamp(kCheapColumnsIterations / maxIter, 1, 16);
    job.counts = counts;
    job.firstColumn = firstColumn;
    job.columnStride = columnStride;
    job.nextColumn = &nextColumn;
    auto share = [&job] { computeColumnsSimd(job); };
    WorkerPool::instance().run(std::min(engineThreads(), columns), share);
}

}  // namespace quilfen
