#pragma once

#include <QDoubleSpinBox>

// The editor's floating-point spin box: always reads and writes numbers in
// the "C" locale (a dot as the decimal separator, no group separators), and
// the mouse wheel only changes it once it has the keyboard focus, so that
// scrolling a form does not change values on the way.
class DoubleSpinBox : public QDoubleSpinBox
{
    Q_OBJECT

public:
    explicit DoubleSpinBox(QWidget *parent = nullptr);
    ~DoubleSpinBox() override;

protected:
    void wheelEvent(QWheelEvent *event) override;
};
