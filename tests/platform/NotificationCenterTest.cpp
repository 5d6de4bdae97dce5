#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>
#include <QThread>
#include <memory>
#include <vector>

#include "platform/NotificationCenter.h"

using cvx::Notification;
using cvx::NotificationCenter;

TEST(NotificationCenter, DeliversByNameAndSenderInRegistrationOrder) {
    NotificationCenter center;
    QStringList calls;
    int senderA = 0, senderB = 0;
    auto record = [&calls](const QString &tag) {
        return [&calls, tag](const Notification &n) { calls << tag + ":" + n.object.toString(); };
    };
    center.addObserver("x", record("1"));
    center.addObserver("y", record("y"));
    center.addObserver("x", record("2"), &senderA);
    center.addObserver("x", record("3"));

    center.postNotificationName("x", 5, &senderA);
    center.postNotificationName("x", QByteArray("b"), &senderB);
    EXPECT_EQ(calls, QStringList({"1:5", "2:5", "3:5", "1:b", "3:b"}));
}

// An earlier observer of the same delivery removes later ones in each of the three ways.
TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalled) {
    enum class Way { ById, OwnerAll, OwnerName };
    for (Way way : {Way::ById, Way::OwnerAll, Way::OwnerName}) {
        NotificationCenter center;
        QObject owner;
        QStringList calls;
        NotificationCenter::ObserverId victim = 0;
        center.addObserver("n", [&](const Notification &) {
            calls << "remover";
            if (way == Way::ById) center.removeObserver(victim);
            if (way == Way::OwnerAll) center.removeObserver(&owner);
            if (way == Way::OwnerName) center.removeObserver(&owner, "n");
        });
        victim = center.addObserver(&owner, "n", [&](const Notification &) { calls << "victim"; });
        center.addObserver(&owner, "other", [&](const Notification &) { calls << "other"; });
        center.addObserver("n", [&](const Notification &) { calls << "last"; });

        center.postNotificationName("n");
        center.postNotificationName("other");
        const QStringList expected =
            way == Way::OwnerAll ? QStringList{"remover", "last"} : QStringList{"remover", "last", "other"};
        EXPECT_EQ(calls, expected) << int(way);
    }
}

TEST(NotificationCenter, DestroyedOwnerIsNotCalled) {
    QObject outlivesCenter;
    NotificationCenter center;
    int calls = 0;
    QObject *doomed = new QObject;
    // The first observer destroys the owner of the second in the middle of the delivery.
    center.addObserver("n", [&](const Notification &) { ++calls, delete doomed; });
    center.addObserver(doomed, "n", [&](const Notification &) { calls += 100; });
    center.postNotificationName("n");
    EXPECT_EQ(calls, 1);
    // Destroyed after the center: its ~QObject must not reach into the dead center.
    NotificationCenter().addObserver(&outlivesCenter, "n", [](const Notification &) {});
}

TEST(NotificationCenter, ConcurrentRegistrationAndPosting) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([&] {
            for (int i = 0; i < 200; ++i) {
                auto id = center.addObserver("n", [&](const Notification &) { ++calls; });
                center.postNotificationName("noise");
                if (i % 2) center.removeObserver(id);
            }
        }));
        threads.back()->start();
    }
    for (auto &t : threads) t->wait();
    calls = 0;
    center.postNotificationName("n");
    EXPECT_EQ(calls.load(), 400);
}
