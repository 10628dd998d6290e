#pragma once

#include <QCheckBox>

// The editor's check box (object name "CheckBox" style hook; a hand cursor
// over it).
class CheckBox : public QCheckBox
{
    Q_OBJECT

public:
    explicit CheckBox(QWidget *parent = nullptr);
    explicit CheckBox(const QString &text, QWidget *parent = nullptr);
    ~CheckBox() override;
};
