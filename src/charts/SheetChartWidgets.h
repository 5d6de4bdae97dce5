#pragma once

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "charts/BBBigNetView.h"
#include "charts/BBDEColumnView.h"
#include "charts/BBNMNetView.h"

// Widgets that show one of the sheet's charts in their whole area. Set the chart's properties
// through chart() and call update(); a widget never redraws by itself when they change.
template <class Chart>
class SheetChartWidget : public QWidget {
public:
    explicit SheetChartWidget(QWidget *parent = nullptr) : QWidget(parent) {}

    Chart &chart() { return chart_; }
    const Chart &chart() const { return chart_; }
    QSize sizeHint() const override { return Chart::defaultSize().toSize(); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        chart_.paint(painter, QRectF(rect()));
    }

private:
    Chart chart_;
};

class BBBigNetViewWidget : public SheetChartWidget<BBBigNetView> {
    Q_OBJECT
public:
    using SheetChartWidget::SheetChartWidget;
};

class BBNMNetViewWidget : public SheetChartWidget<BBNMNetView> {
    Q_OBJECT
public:
    using SheetChartWidget::SheetChartWidget;
};

class BBDEColumnViewWidget : public SheetChartWidget<BBDEColumnView> {
    Q_OBJECT
public:
    using SheetChartWidget::SheetChartWidget;
};
