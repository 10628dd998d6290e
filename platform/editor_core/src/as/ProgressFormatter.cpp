#include "editor_core/as/ProgressFormatter.h"

#include <QCoreApplication>

namespace as {

void ProgressFormatter::setProgress(int percent)
{
    progress_ = qBound(0, percent, 100);
}

void ProgressFormatter::enqueue(ActionType type, const QString &text)
{
    pipelines_.append(qMakePair(type, text));
}

void ProgressFormatter::dequeue(ActionType type, const QString &text)
{
    for (int i = pipelines_.size() - 1; i >= 0; --i) {
        if (pipelines_[i].first == type && pipelines_[i].second == text) {
            pipelines_.removeAt(i);
            return;
        }
    }
    for (int i = pipelines_.size() - 1; i >= 0; --i) {
        if (pipelines_[i].first == type) {
            pipelines_.removeAt(i);
            return;
        }
    }
}

QPair<QString, QString> ProgressFormatter::prettyMessage() const
{
    if (pipelines_.isEmpty())
        return qMakePair(QString(), QString());
    const QPair<ActionType, QString> &last = pipelines_.last();
    const QString name = actionName(last.first);
    return qMakePair(name, last.second.isEmpty() ? name : last.second);
}

QString ProgressFormatter::actionName(ActionType type)
{
    switch (type) {
    case ActionType::Scan:
        return QCoreApplication::translate("as::ProgressFormatter", "Scanning");
    case ActionType::Import:
        return QCoreApplication::translate("as::ProgressFormatter", "Importing");
    case ActionType::Reimport:
        return QCoreApplication::translate("as::ProgressFormatter", "Reimporting");
    case ActionType::Remove:
        return QCoreApplication::translate("as::ProgressFormatter", "Removing");
    case ActionType::Move:
        return QCoreApplication::translate("as::ProgressFormatter", "Moving");
    case ActionType::Copy:
        return QCoreApplication::translate("as::ProgressFormatter", "Copying");
    }
    return QString();
}

} // namespace as
