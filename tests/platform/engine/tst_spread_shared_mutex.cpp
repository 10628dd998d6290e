// The lock of the engine's file table and material registry: readers on many
// threads at once, a writer alone.

#include "../../../platform/engine/src/spread_shared_mutex.h"

#include <QtTest>

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

using Velmora::engine_internal::SpreadSharedMutex;

class SpreadSharedMutexTest : public QObject
{
    Q_OBJECT

private slots:
    void a_writer_excludes_every_reader_and_readers_share()
    {
        SpreadSharedMutex lock;
        // Written in two steps under the exclusive lock: a reader that ever
        // sees them differ ran while a writer held it.
        long first = 0;
        long second = 0;
        std::atomic<bool> done{false};
        std::atomic<int> torn{0};
        std::atomic<long> reads{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 6; ++t) {
            threads.emplace_back([&] {
                while (!done.load()) {
                    std::shared_lock<SpreadSharedMutex> reading(lock);
                    const long a = first;
                    std::this_thread::yield();
                    if (a != second)
                        ++torn;
                    ++reads;
                }
            });
        }
        // The readers are at work before the first write (on a busy machine
        // they could otherwise start after the last).
        while (reads.load() == 0)
            std::this_thread::yield();
        for (int i = 0; i < 2000; ++i) {
            std::unique_lock<SpreadSharedMutex> writing(lock);
            ++first;
            std::this_thread::yield();
            ++second;
        }
        done = true;
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(torn.load(), 0);
        QVERIFY(reads.load() > 0);
        QCOMPARE(first, 2000L);

        // Several threads hold it shared at once, and no writer gets in
        // meanwhile.
        std::atomic<int> holding{0};
        std::atomic<bool> release{false};
        std::vector<std::thread> readers;
        for (int t = 0; t < 4; ++t) {
            readers.emplace_back([&] {
                std::shared_lock<SpreadSharedMutex> reading(lock);
                ++holding;
                while (!release.load())
                    std::this_thread::yield();
            });
        }
        while (holding.load() < 4)
            std::this_thread::yield();
        QVERIFY(!lock.try_lock());
        QVERIFY(lock.try_lock_shared());
        lock.unlock_shared();
        release = true;
        for (std::thread &reader : readers)
            reader.join();
        QVERIFY(lock.try_lock());
        std::thread other([&] { QVERIFY(!lock.try_lock_shared()); });
        other.join();
        lock.unlock();
    }
};

QTEST_GUILESS_MAIN(SpreadSharedMutexTest)
#include "tst_spread_shared_mutex.moc"
