#include "message_boxes.h"

#include <QAbstractButton>
#include <QApplication>

namespace test {

MessageBoxes::MessageBoxes(QObject *parent)
    : QObject(parent)
{
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, &MessageBoxes::poll);
    timer_.start();
}

QStringList MessageBoxes::texts() const
{
    QStringList result;
    for (const Box &box : boxes_)
        result << box.text;
    return result;
}

QStringList MessageBoxes::titles() const
{
    QStringList result;
    for (const Box &box : boxes_)
        result << box.title;
    return result;
}

void MessageBoxes::poll()
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        auto box = qobject_cast<QMessageBox *>(widget);
        if (!box || !box->isVisible() || handled_.contains(box))
            continue;
        handled_ << box;
        const Box seen{box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        boxes_ << seen;
        if (on_show_)
            on_show_(seen);
        const QMessageBox::StandardButton wanted = answers_.isEmpty() ? QMessageBox::Ok : answers_.takeFirst();
        QAbstractButton *button = box->button(wanted);
        if (!button)
            button = box->escapeButton();
        if (button)
            button->click();
        else
            box->done(wanted);
        return;
    }
}

} // namespace test
