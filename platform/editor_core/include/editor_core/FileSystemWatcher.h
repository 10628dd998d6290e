#pragma once

#include "editor_core/core/CallLog.h"

#include <QObject>

// Placeholder: there is no background file watching (data changes only
// through asset-manager calls and explicit rescans). init, runMainThread
// and shutdown are recorded; runMainThread counts the frames it was called.
class FileSystemWatcher : public QObject
{
    Q_OBJECT

public:
    explicit FileSystemWatcher(QObject *parent = nullptr);
    ~FileSystemWatcher() override;

    bool init();
    void runMainThread();
    void shutdown();

    bool isInitialized() const { return initialized_; }
    int runCount() const { return runs_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    int runs_ = 0;
    core::CallLog log_;
};
