// The worker pool: every item of work done exactly once, never more threads
// than asked for, and nothing left running when run() returns.

#include "engine/worker_pool.h"

#include <QTest>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace quilfen;

namespace {

// Items shared out through an atomic counter, as the engine shares columns.
struct SharedWork {
    explicit SharedWork(int n) : done(static_cast<std::size_t>(n)) {}

    std::vector<std::atomic<int>> done;  // times each item was done
    std::atomic<int> next{0};
    std::atomic<int> inside{0};  // calls running now
    std::atomic<int> mostInside{0};
    std::atomic<int> calls{0};

    void operator()()
    {
        calls.fetch_add(1);
        const int now = inside.fetch_add(1) + 1;
        for (int seen = mostInside.load(); now > seen && !mostInside.compare_exchange_weak(seen, now);) {
        }
        for (int item; (item = next.fetch_add(1)) < static_cast<int>(done.size());)
            done[static_cast<std::size_t>(item)].fetch_add(1);
        inside.fetch_sub(1);
    }

    bool eachDoneOnce() const
    {
        for (const auto& d : done)
            if (d.load() != 1)
                return false;
        return true;
    }
};

}  // namespace

class TestWorkerPool : public QObject {
    Q_OBJECT
private slots:
    void runsShareTheWork_data()
    {
        QTest::addColumn<int>("threads");
        QTest::addColumn<int>("items");
        QTest::newRow("caller alone") << 1 << 1000;
        QTest::newRow("two threads") << 2 << 1000;
        QTest::newRow("more threads than cores") << 6 << 1000;
        QTest::newRow("more threads than items") << 8 << 3;
        QTest::newRow("no items") << 4 << 0;
        QTest::newRow("zero threads means the caller alone") << 0 << 100;
    }
    void runsShareTheWork()
    {
        QFETCH(int, threads);
        QFETCH(int, items);
        WorkerPool pool;
        for (int repeat = 0; repeat < 200; ++repeat) {
            SharedWork work(items);
            pool.run(threads, work);
            // Everything finished before run() returned.
            QVERIFY(work.eachDoneOnce());
            QCOMPARE(work.inside.load(), 0);
            QVERIFY(work.calls.load() >= 1);
            QVERIFY(work.mostInside.load() <= std::max(threads, 1));
        }
    }

    // Runs with changing thread counts, back to back, exercise workers that
    // wake late for a run that has already ended.
    void changingThreadCounts()
    {
        WorkerPool pool;
        const int counts[] = {3, 1, 2, 5, 2, 1, 4};
        for (int repeat = 0; repeat < 2000; ++repeat) {
            const int threads = counts[repeat % 7];
            SharedWork work(50);
            pool.run(threads, work);
            QVERIFY(work.eachDoneOnce());
            QCOMPARE(work.inside.load(), 0);
            QVERIFY(work.mostInside.load() <= threads);
        }
    }

    // Helpers really run alongside the caller: a task that needs two threads
    // at once to finish gets them.
    void helpersRunAlongsideTheCaller()
    {
        WorkerPool pool;
        pool.reserve(2);
        std::atomic<int> arrived{0};
        std::atomic<bool> met{false};
        auto meet = [&] {
            if (arrived.fetch_add(1) == 0) {
                // The caller (or the first helper) waits a bounded while for a second.
                for (long spin = 0; spin < 100'000'000L && arrived.load() < 2; ++spin)
                    std::this_thread::yield();
            }
            if (arrived.load() >= 2)
                met.store(true);
        };
        pool.run(2, meet);
        QVERIFY(met.load());
    }

    void runsFromTwoThreadsTakeTurns()
    {
        WorkerPool pool;
        std::atomic<bool> allGood{true};
        auto client = [&] {
            for (int repeat = 0; repeat < 300; ++repeat) {
                SharedWork work(40);
                pool.run(3, work);
                if (!work.eachDoneOnce() || work.mostInside.load() > 3)
                    allGood.store(false);
            }
        };
        std::thread a(client);
        std::thread b(client);
        a.join();
        b.join();
        QVERIFY(allGood.load());
    }

    // Whichever thread throws, run() waits for every call, then throws on the
    // calling thread: the caller's own exception first, else a helper's.
    void aThrowingTaskStillWaitsForItsHelpers_data()
    {
        QTest::addColumn<bool>("callerThrows");
        QTest::addColumn<bool>("helpersThrow");
        QTest::addColumn<QString>("expected");
        QTest::newRow("the caller throws") << true << false << "caller's share failed";
        QTest::newRow("a helper throws") << false << true << "helper's share failed";
        QTest::newRow("every thread throws, the caller's wins")
            << true << true << "caller's share failed";
    }
    void aThrowingTaskStillWaitsForItsHelpers()
    {
        QFETCH(bool, callerThrows);
        QFETCH(bool, helpersThrow);
        QFETCH(QString, expected);
        WorkerPool pool;
        pool.reserve(3);
        SharedWork work(500);
        std::atomic<int> arrived{0};
        QString message;
        auto task = [&] {
            const bool isCaller = std::this_thread::get_id() == caller;
            // The caller waits a bounded while for a helper, so that one
            // really runs (and throws) in this run.
            arrived.fetch_add(1);
            if (isCaller) {
                for (long spin = 0; spin < 100'000'000L && arrived.load() < 2; ++spin)
                    std::this_thread::yield();
            }
            work();
            if (isCaller && callerThrows)
                throw std::runtime_error("caller's share failed");
            if (!isCaller && helpersThrow)
                throw std::runtime_error("helper's share failed");
        };
        caller = std::this_thread::get_id();
        try {
            pool.run(3, task);
        } catch (const std::runtime_error& e) {
            message = QString::fromUtf8(e.what());
        }
        QVERIFY(arrived.load() >= 2);
        QCOMPARE(message, expected);
        QCOMPARE(work.inside.load(), 0);
        QVERIFY(work.eachDoneOnce());

        // The pool is whole afterwards: no exception is left over for the
        // next run, and its helpers still help.
        for (int repeat = 0; repeat < 50; ++repeat) {
            SharedWork next(100);
            pool.run(3, next);
            QVERIFY(next.eachDoneOnce());
            QCOMPARE(next.inside.load(), 0);
        }
    }

private:
    std::thread::id caller;
};

QTEST_APPLESS_MAIN(TestWorkerPool)
#include "test_worker_pool.moc"
