#pragma once

#include <QLabel>

// A one-line label that elides its text to the width it gets (on the
// right by default) instead of growing.
class ElidedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);
    ~ElidedLabel() override;

    void setElideMode(Qt::TextElideMode mode);
    Qt::TextElideMode elideMode() const;
    // The text as it is painted at the current width.
    QString elidedText() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode mode_ = Qt::ElideRight;
};
