#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the editing controls of mesh clusters. It has no behaviour of its own yet; init and shutdown
// only record the call, so that tests can check the editor's life cycle.
class ObjectMeshClusterControls
{
public:
    ObjectMeshClusterControls();
    ~ObjectMeshClusterControls();
    ObjectMeshClusterControls(const ObjectMeshClusterControls &) = delete;
    ObjectMeshClusterControls &operator=(const ObjectMeshClusterControls &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
