#pragma once

#include <QLineEdit>

// Text field that remembers the last text its owner accepted, so that a refused entry can
// be put back.
class IDTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit IDTextField(QWidget *parent = nullptr) : QLineEdit(parent) {}

    QString lastStringValue() const { return lastStringValue_; }
    void setLastStringValue(const QString &value) { lastStringValue_ = value; }

private:
    QString lastStringValue_ = QStringLiteral("");
};
