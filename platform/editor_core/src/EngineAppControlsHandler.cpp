#include "editor_core/EngineAppControlsHandler.h"

EngineAppControlsHandler *EngineAppControlsHandler::get()
{
    static EngineAppControlsHandler handler;
    return &handler;
}

void EngineAppControlsHandler::enableNotification(QObject *target)
{
    if (target && !isNotified(target))
        targets_.append(target);
}

void EngineAppControlsHandler::disableNotification(QObject *target)
{
    for (int i = targets_.size() - 1; i >= 0; --i)
        if (!targets_[i] || targets_[i] == target)
            targets_.removeAt(i);
}

bool EngineAppControlsHandler::isNotified(const QObject *target) const
{
    for (const QPointer<QObject> &entry : targets_)
        if (entry && entry == target)
            return true;
    return false;
}

QList<QObject *> EngineAppControlsHandler::targets() const
{
    QList<QObject *> live;
    for (const QPointer<QObject> &entry : targets_)
        if (entry)
            live.append(entry.data());
    return live;
}
