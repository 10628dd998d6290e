#pragma once

#include <QComboBox>

// The editor's combo box: a hand cursor over it, and the mouse wheel only
// changes it while it has focus, so that scrolling a tool window does not
// change its choices by accident.
class ComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit ComboBox(QWidget *parent = nullptr);
    ~ComboBox() override;

protected:
    void wheelEvent(QWheelEvent *event) override;
};
