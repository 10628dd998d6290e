#include "editor/texture_profiler/data/streaming_settings_guard.h"

#include <velmora/Console.h>
#include <velmora/Render.h>

namespace tprof {

StreamingSettingsGuard::StreamingSettingsGuard()
{
    // Queued commands may still change the settings: run them first, so
    // that the values put back are the ones they leave.
    Velmora::Console::flush();
    memory_limit_ = Velmora::Render::getStreamingTexturesMemoryLimit();
    destroy_duration_ = Velmora::Render::getStreamingDestroyDuration();
    Velmora::Render::setStreamingTexturesMemoryLimit(0);
    Velmora::Render::setStreamingDestroyDuration(0);
}

StreamingSettingsGuard::~StreamingSettingsGuard()
{
    Velmora::Render::setStreamingTexturesMemoryLimit(memory_limit_);
    Velmora::Render::setStreamingDestroyDuration(destroy_duration_);
}

} // namespace tprof
