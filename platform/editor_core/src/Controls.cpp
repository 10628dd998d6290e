#include "editor_core/Controls.h"

#include "editor_core/EditorLogic.h"

#include <QWidget>

Controls::Controls(EditorLogic *parent)
    : QObject(parent)
{}

Controls::~Controls() = default;

void Controls::init()
{
    initialized_ = true;
    log_.record(QStringLiteral("init"));
}

void Controls::update()
{
    if (initialized_)
        ++updates_;
}

void Controls::shutdown()
{
    initialized_ = false;
    widgets_.clear();
    log_.record(QStringLiteral("shutdown"));
}

void Controls::addWidget(QWidget *widget)
{
    if (!widget || widgets_.contains(widget))
        return;
    widgets_.append(widget);
    log_.record(QStringLiteral("addWidget %1").arg(widget->objectName()));
}

void Controls::removeWidget(QWidget *widget)
{
    if (!widget)
        return;
    widgets_.removeAll(widget);
    log_.record(QStringLiteral("removeWidget %1").arg(widget->objectName()));
}

QList<QWidget *> Controls::widgets() const
{
    QList<QWidget *> result;
    for (const QPointer<QWidget> &widget : widgets_) {
        if (widget)
            result.append(widget.data());
    }
    return result;
}
