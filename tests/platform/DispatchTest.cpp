#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

#include "platform/Dispatch.h"

using cvx::Dispatch;
using cvx::SerialQueue;

TEST(Dispatch, MainQueueRunsLaterOnTheMainThreadInOrder) {
    std::vector<int> order;
    bool onMain = false;
    Dispatch::mainAsync([&] { order.push_back(1); });
    EXPECT_TRUE(order.empty());  // queued, not run inline
    Dispatch::globalAsync(
        [&] { Dispatch::mainAsync([&] { onMain = Dispatch::isMainThread(), order.push_back(2); }); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 2; }, 5000));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_TRUE(onMain);
}

TEST(Dispatch, BlocksDieWithTheirContext) {
    auto context = std::make_unique<QObject>();
    QObject keeper;
    bool cancelledRan = false, ran = false, fromWorkerRan = false;
    qint64 ranAfter = 0;
    QElapsedTimer clock;
    clock.start();
    Dispatch::mainAsync(context.get(), [&] { cancelledRan = true; });
    Dispatch::mainAfter(50, context.get(), [&] { cancelledRan = true; });
    Dispatch::mainAfter(100, &keeper, [&] { ran = true, ranAfter = clock.elapsed(); });
    Dispatch::globalAsync(
        [&] { Dispatch::mainAfter(10, [&] { fromWorkerRan = Dispatch::isMainThread(); }); });
    context.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ran && fromWorkerRan; }, 5000));
    EXPECT_GE(ranAfter, 100);
    QTest::qWait(100);
    EXPECT_FALSE(cancelledRan);
}

TEST(Dispatch, SerialQueueRunsOneAtATimeInOrderOffMain) {
    std::vector<int> order;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false}, onMain{false};
    SerialQueue queue;
    for (int i = 0; i < 50; ++i) {
        queue.async([&, i] {
            overlapped = overlapped || ++running > 1;
            onMain = onMain || Dispatch::isMainThread();
            QThread::usleep(200);
            order.push_back(i);
            --running;
        });
    }
    queue.waitForIdle();
    EXPECT_EQ(order.size(), 50u);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(onMain);
}
