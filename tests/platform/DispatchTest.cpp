#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

#include "platform/Dispatch.h"
#include "platform/WorkAhead.h"

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

// Results come back in item order across runs, each slot filled anew; a caller that stops
// early leaves no work behind.
TEST(WorkAhead, HandsBackEveryResultInOrder) {
    for (const qsizetype count : {1, 7, 8, 9, 100}) {
        SCOPED_TRACE(count);
        std::atomic<int> done = 0;
        {
            cvx::WorkAhead<std::vector<qsizetype>> ahead(count,
                                                         [&](qsizetype index, std::vector<qsizetype> &r) {
                                                             r.assign(1, index);
                                                             ++done;
                                                         });
            const qsizetype taken = count == 100 ? 20 : count;
            for (qsizetype i = 0; i < taken; ++i) ASSERT_EQ(ahead.next(), std::vector<qsizetype>({i}));
        }
        EXPECT_GE(done, count == 100 ? 20 : count);
        EXPECT_LE(done, count);
    }
}
