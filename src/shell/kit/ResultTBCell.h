#pragma once

#include <QWidget>

// Plain cell of the result tables.
class ResultTBCell : public QWidget {
    Q_OBJECT
public:
    explicit ResultTBCell(QWidget *parent = nullptr) : QWidget(parent) {}
};
