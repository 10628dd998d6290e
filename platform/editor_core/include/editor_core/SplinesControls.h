#pragma once

#include "editor_core/core/CallLog.h"

#include <QObject>

// Placeholder: the editing controls of splines. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class SplinesControls : public QObject
{
    Q_OBJECT

public:
    explicit SplinesControls(QObject *parent = nullptr);
    ~SplinesControls() override;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
