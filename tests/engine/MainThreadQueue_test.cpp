#include "MainThreadQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using quillor::MainThreadQueue;
using namespace std::chrono_literals;

namespace {
struct BoundQueue : ::testing::Test {
    void SetUp() override
    {
        MainThreadQueue::instance().bindToCurrentThread();
        MainThreadQueue::instance().drain();
    }
};
} // namespace

TEST_F(BoundQueue, SendFromWorkerRunsOnMainThreadWhileItServes)
{
    auto &queue = MainThreadQueue::instance();
    std::atomic<bool> finished{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        queue.send([&] { ranOn = std::this_thread::get_id(); });
        finished = true;
        queue.wake();
    });
    EXPECT_TRUE(queue.serveUntil([&] { return finished.load(); }, 5000ms));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(BoundQueue, PostedCallsRunInOrder)
{
    auto &queue = MainThreadQueue::instance();
    std::vector<int> order;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            queue.post([&order, i] { order.push_back(i); });
    });
    worker.join();
    EXPECT_EQ(queue.drain(), 100u);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
}

TEST_F(BoundQueue, SendOnMainThreadRunsInlineAndRethrows)
{
    auto &queue = MainThreadQueue::instance();
    bool ran = false;
    queue.send([&] { ran = true; });
    EXPECT_TRUE(ran);
    std::atomic<bool> threw{false}, finished{false};
    std::thread worker([&] {
        try {
            queue.send([] { throw std::runtime_error("x"); });
        } catch (const std::runtime_error &) {
            threw = true;
        }
        finished = true;
    });
    EXPECT_TRUE(queue.serveUntil([&] { return finished.load(); }, 5000ms));
    worker.join();
    EXPECT_TRUE(threw);
}

TEST_F(BoundQueue, ServeUntilTimesOut)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MainThreadQueue::instance().serveUntil([] { return false; }, 50ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}
