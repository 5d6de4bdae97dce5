#pragma once

#include <QHash>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

namespace cvx {

struct Notification {
    QString name;
    // Nothing (invalid), a number, a QByteArray, a QVariantMap, ...
    QVariant object;
    // Who posted it, or null; observers may filter on it.
    const void *sender = nullptr;
};

// Named broadcasts between parts that must not know each other. Delivery is synchronous on
// the posting thread, in registration order. Registration and removal are thread-safe and may
// happen during a delivery: an observer removed then is not called any more, not even later
// in the same delivery; one added then is first called by the next post.
class NotificationCenter {
public:
    using ObserverId = quint64;
    using Callback = std::function<void(const Notification &)>;

    static NotificationCenter &defaultCenter();

    NotificationCenter() = default;
    ~NotificationCenter();
    NotificationCenter(const NotificationCenter &) = delete;
    NotificationCenter &operator=(const NotificationCenter &) = delete;

    // Calls `callback` for every post of `name` (from `sender` only, when one is given). With
    // an owner the observer goes away when QObject's destructor runs; an owner whose own
    // destructor may post to itself should remove itself first. Returns 0 for no callback.
    ObserverId addObserver(QObject *owner, const QString &name, Callback callback,
                           const void *sender = nullptr);
    ObserverId addObserver(const QString &name, Callback callback, const void *sender = nullptr) {
        return addObserver(nullptr, name, std::move(callback), sender);
    }

    void removeObserver(ObserverId id);
    // Every observer of the owner, or only those of one name.
    void removeObserver(QObject *owner);
    void removeObserver(QObject *owner, const QString &name);

    void postNotificationName(const QString &name, const QVariant &object = QVariant(),
                              const void *sender = nullptr);

private:
    struct Observer;
    template <typename Pred>
    void removeWhere(Pred pred);
    void watchOwnerLocked(QObject *owner);

    QMutex mutex_;
    ObserverId nextId_ = 1;
    std::vector<std::shared_ptr<Observer>> observers_;
    QHash<QObject *, QMetaObject::Connection> ownerWatches_;
};

}  // namespace cvx
