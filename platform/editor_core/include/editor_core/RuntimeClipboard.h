#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the clipboard of runtimes (copy and paste of assets between windows). It has no behaviour of its own
// yet; init and shutdown only record the call, so that tests can check the editor's life cycle.
class RuntimeClipboard
{
public:
    RuntimeClipboard();
    ~RuntimeClipboard();
    RuntimeClipboard(const RuntimeClipboard &) = delete;
    RuntimeClipboard &operator=(const RuntimeClipboard &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
