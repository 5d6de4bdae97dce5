#pragma once

#include <QString>

// One range text of the calculation settings ("min|max"), split. Both parts stay null
// until the loading sets them.
class RangeValue {
public:
    const QString &max() const { return max_; }
    void setMax(const QString &v) { max_ = v; }
    const QString &min() const { return min_; }
    void setMin(const QString &v) { min_ = v; }

private:
    QString max_;
    QString min_;
};
