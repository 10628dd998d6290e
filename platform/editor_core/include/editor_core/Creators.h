#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the node creators of the editor (create menus for node types). It has no behaviour of its own yet; init
// and shutdown only record the call, so that tests can check the editor's life cycle.
class Creators
{
public:
    Creators();
    ~Creators();
    Creators(const Creators &) = delete;
    Creators &operator=(const Creators &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
