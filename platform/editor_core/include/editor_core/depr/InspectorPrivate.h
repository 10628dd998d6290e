#pragma once

#include "editor_core/core/CallLog.h"

#include <QObject>

namespace depr {

// Placeholder: the parameters inspector. add() counts the parameter windows
// asked for (none is made yet) and returns null.
class InspectorPrivate : public QObject
{
    Q_OBJECT

public:
    explicit InspectorPrivate(QObject *parent = nullptr);
    ~InspectorPrivate() override;

    void init();
    QObject *add();
    void shutdown();

    bool isInitialized() const { return initialized_; }
    int addCount() const { return adds_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    int adds_ = 0;
    core::CallLog log_;
};

} // namespace depr
