#pragma once

#include <memory>
#include <mutex>

// Holder of a link object that exists once per process: made on first use under a lock,
// and dropped only by the tests' reset.
template <typename T>
class SharedInstance {
public:
    // `init` runs after the object is stored, so that code it reaches (observers of the
    // notifications it posts) may ask for the object again on the same thread and gets it.
    template <typename Make, typename Init>
    T &get(Make make, Init init) {
        std::lock_guard lock(mutex_);
        if (!instance_) {
            instance_.reset(make());
            init(*instance_);
        }
        return *instance_;
    }

    // The object when it has been made, else null; makes none.
    T *existing() {
        std::lock_guard lock(mutex_);
        return instance_.get();
    }

    // Destroys the object outside the lock: its destructor may use other shared objects.
    void reset() {
        std::unique_ptr<T> old;
        {
            std::lock_guard lock(mutex_);
            old.swap(instance_);
        }
    }

private:
    std::recursive_mutex mutex_;
    std::unique_ptr<T> instance_;
};
