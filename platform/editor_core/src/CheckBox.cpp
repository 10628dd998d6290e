#include "editor_core/CheckBox.h"

CheckBox::CheckBox(QWidget *parent)
    : QCheckBox(parent)
{
    setCursor(Qt::PointingHandCursor);
}

CheckBox::CheckBox(const QString &text, QWidget *parent)
    : CheckBox(parent)
{
    setText(text);
}

CheckBox::~CheckBox() = default;
