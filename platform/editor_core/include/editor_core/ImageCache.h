#pragma once

#include "editor_core/core/CallLog.h"

// Placeholder: the cache of preview images shared by the tool windows. It has no behaviour of its own yet; init and
// shutdown only record the call, so that tests can check the editor's life cycle.
class ImageCache
{
public:
    ImageCache();
    ~ImageCache();
    ImageCache(const ImageCache &) = delete;
    ImageCache &operator=(const ImageCache &) = delete;

    void init();
    void shutdown();
    bool isInitialized() const { return initialized_; }
    const core::CallLog &callLog() const { return log_; }

private:
    bool initialized_ = false;
    core::CallLog log_;
};
