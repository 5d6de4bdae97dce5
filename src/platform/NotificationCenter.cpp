#include "platform/NotificationCenter.h"

#include <QList>
#include <QSet>
#include <algorithm>
#include <atomic>

namespace cvx {

struct NotificationCenter::Observer {
    ObserverId id;
    QObject *owner;
    QString name;
    const void *sender;
    Callback callback;
    std::atomic<bool> alive{true};
};

NotificationCenter &NotificationCenter::defaultCenter() {
    // Never destroyed: observer owners may die after static destruction has begun.
    static NotificationCenter *center = new NotificationCenter;
    return *center;
}

NotificationCenter::~NotificationCenter() {
    for (const QMetaObject::Connection &watch : std::as_const(ownerWatches_)) QObject::disconnect(watch);
}

NotificationCenter::ObserverId NotificationCenter::addObserver(QObject *owner, const QString &name,
                                                               Callback callback, const void *sender) {
    if (!callback) return 0;
    QMutexLocker lock(&mutex_);
    auto observer = std::make_shared<Observer>();
    observer->id = nextId_++;
    observer->owner = owner;
    observer->name = name;
    observer->sender = sender;
    observer->callback = std::move(callback);
    observers_.push_back(observer);
    if (owner) watchOwnerLocked(owner);
    return observer->id;
}

void NotificationCenter::removeObserver(ObserverId id) {
    removeWhere([id](const Observer &o) { return o.id == id; });
}

void NotificationCenter::removeObserver(QObject *owner) {
    if (!owner) return;
    removeWhere([owner](const Observer &o) { return o.owner == owner; });
}

void NotificationCenter::removeObserver(QObject *owner, const QString &name) {
    if (!owner) return;
    removeWhere([owner, &name](const Observer &o) { return o.owner == owner && o.name == name; });
}

void NotificationCenter::postNotificationName(const QString &name, const QVariant &object,
                                              const void *sender) {
    std::vector<std::shared_ptr<Observer>> targets;
    {
        QMutexLocker lock(&mutex_);
        for (const auto &o : observers_) {
            if (o->name == name && (!o->sender || o->sender == sender)) targets.push_back(o);
        }
    }
    const Notification notification{name, object, sender};
    // Callbacks run unlocked so that they may post, add and remove; `alive` catches removals
    // made by earlier callbacks of this same delivery.
    for (const auto &o : targets) {
        if (o->alive.load()) o->callback(notification);
    }
}

template <typename Pred>
void NotificationCenter::removeWhere(Pred pred) {
    QList<QMetaObject::Connection> unwatched;
    {
        QMutexLocker lock(&mutex_);
        QSet<QObject *> owners;
        std::erase_if(observers_, [&](const std::shared_ptr<Observer> &o) {
            if (!pred(*o)) return false;
            o->alive.store(false);
            if (o->owner) owners.insert(o->owner);
            return true;
        });
        for (QObject *owner : std::as_const(owners)) {
            const bool stillObserving = std::any_of(observers_.begin(), observers_.end(),
                                                    [owner](const auto &o) { return o->owner == owner; });
            if (!stillObserving) unwatched.append(ownerWatches_.take(owner));
        }
    }
    for (const QMetaObject::Connection &watch : std::as_const(unwatched)) QObject::disconnect(watch);
}

void NotificationCenter::watchOwnerLocked(QObject *owner) {
    if (ownerWatches_.contains(owner)) return;
    // Direct connection: the observers go while the owner is still being destroyed, before
    // anything else can post to them.
    ownerWatches_.insert(
        owner, QObject::connect(owner, &QObject::destroyed, [this, owner] { removeObserver(owner); }));
}

}  // namespace cvx
