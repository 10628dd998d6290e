#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the cache of parameter views of the inspector. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class ParametersViewCache
{
public:
    ParametersViewCache();
    ~ParametersViewCache();
    ParametersViewCache(const ParametersViewCache &) = delete;
    ParametersViewCache &operator=(const ParametersViewCache &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
