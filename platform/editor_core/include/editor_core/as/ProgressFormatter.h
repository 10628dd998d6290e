#pragma once

#include "editor_core/as/ActionType.h"

#include <QPair>
#include <QString>
#include <QVector>

namespace as {

// Turns the asset manager's pipeline and progress signals into texts for a
// progress display. Pipelines nest; the most recent one is shown.
class ProgressFormatter
{
public:
    void setProgress(int percent);
    int progress() const { return progress_; }

    void enqueue(ActionType type, const QString &text);
    // Removes the most recent pipeline of that type and text (or, when none
    // matches, the most recent of that type).
    void dequeue(ActionType type, const QString &text);
    bool isEmpty() const { return pipelines_.isEmpty(); }

    // (action name, pipeline text) of the most recent pipeline, for example
    // ("Scanning", "Scanning assets"); two empty texts when none runs.
    QPair<QString, QString> prettyMessage() const;

    static QString actionName(ActionType type);

private:
    QVector<QPair<ActionType, QString>> pipelines_;
    int progress_ = 0;
};

} // namespace as
