#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the registry of custom parameter widgets. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class CustomUiRegistry
{
public:
    CustomUiRegistry();
    ~CustomUiRegistry();
    CustomUiRegistry(const CustomUiRegistry &) = delete;
    CustomUiRegistry &operator=(const CustomUiRegistry &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
