#pragma once

#include <QWidget>

class QToolButton;

// A field with a reset button beside it. The reset button resets the field
// the way a user would: an AssetWidget field gets the empty GUID (and so
// reports the change); every click is also announced by resetClicked().
class ResettableWidget : public QWidget
{
    Q_OBJECT

public:
    // Takes the field over as a child.
    explicit ResettableWidget(QWidget *field, QWidget *parent = nullptr);
    ~ResettableWidget() override;

    QWidget *field() const { return field_; }
    QToolButton *resetButton() const { return reset_; }

signals:
    void resetClicked();

private:
    QWidget *field_ = nullptr;
    QToolButton *reset_ = nullptr;
};
