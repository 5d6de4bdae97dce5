#include "settings/TickedList.h"

namespace {
const QString kTicked = QStringLiteral("1");
const QString kUnticked = QStringLiteral("0");
}  // namespace

TickedList::TickedList(QStringList texts, const QStringList &flags)
    : texts_(std::move(texts)), flags_(parallelFlags(flags, texts_.size())) {}

QStringList TickedList::parallelFlags(QStringList flags, qsizetype count) {
    if (flags.size() > count) flags.resize(count);
    while (flags.size() < count) flags.append(kUnticked);
    return flags;
}

void TickedList::takeIn(const QStringList &shown) {
    for (qsizetype r = 0; r < shown.size() && r < texts_.size(); ++r) texts_[r] = shown.at(r);
}

void TickedList::toggle(int row) {
    if (!isRow(row)) return;
    if (flags_.at(row) == kTicked) {
        flags_[row] = kUnticked;
        return;
    }
    select(row);
}

void TickedList::select(int row) {
    if (!isRow(row)) return;
    for (qsizetype r = 0; r < flags_.size(); ++r) flags_[r] = r == row ? kTicked : kUnticked;
}

void TickedList::append() {
    texts_.append(QStringLiteral(""));
    flags_.append(flags_.isEmpty() ? kTicked : kUnticked);
}

void TickedList::remove(int row) {
    if (!isRow(row)) return;
    texts_.removeAt(row);
    flags_.removeAt(row);
}

TickedList::Kept TickedList::kept() const {
    Kept kept;
    kept.ticked = QStringLiteral("");
    for (qsizetype r = 0; r < texts_.size(); ++r) {
        if (texts_.at(r).isEmpty()) continue;
        kept.texts.append(texts_.at(r));
        kept.flags.append(flags_.at(r));
        if (flags_.at(r) == kTicked) kept.ticked = texts_.at(r);
    }
    return kept;
}
