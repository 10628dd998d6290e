#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

// Hands the engine application's key and mouse controls to the editor
// windows that asked for them (a window with an engine GUI, while it has
// the focus). Records who asked; the platform has no engine controls to
// route yet.
class EngineAppControlsHandler
{
public:
    static EngineAppControlsHandler *get();

    void enableNotification(QObject *target);
    void disableNotification(QObject *target);
    bool isNotified(const QObject *target) const;
    // Live targets, in the order they asked.
    QList<QObject *> targets() const;

private:
    QList<QPointer<QObject>> targets_;
};
