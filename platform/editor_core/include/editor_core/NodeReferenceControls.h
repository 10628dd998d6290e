#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the editing controls of node references. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class NodeReferenceControls
{
public:
    NodeReferenceControls();
    ~NodeReferenceControls();
    NodeReferenceControls(const NodeReferenceControls &) = delete;
    NodeReferenceControls &operator=(const NodeReferenceControls &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
