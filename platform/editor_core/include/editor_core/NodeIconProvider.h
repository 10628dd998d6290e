#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the icons of node types in the node tree. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class NodeIconProvider
{
public:
    NodeIconProvider();
    ~NodeIconProvider();
    NodeIconProvider(const NodeIconProvider &) = delete;
    NodeIconProvider &operator=(const NodeIconProvider &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
