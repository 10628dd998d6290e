#include "editor_core/DoubleSpinBox.h"

#include <QLocale>
#include <QWheelEvent>

DoubleSpinBox::DoubleSpinBox(QWidget *parent)
    : QDoubleSpinBox(parent)
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(locale);
    setFocusPolicy(Qt::StrongFocus);
}

DoubleSpinBox::~DoubleSpinBox() = default;

void DoubleSpinBox::wheelEvent(QWheelEvent *event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QDoubleSpinBox::wheelEvent(event);
}
