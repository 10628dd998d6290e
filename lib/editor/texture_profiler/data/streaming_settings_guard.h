#pragma once

namespace tprof {

// Makes the engine's texture streaming keep only what the frames rendered
// while the guard lives use: flushes the console, saves the streaming
// textures memory limit and the streaming destroy duration, sets both to 0,
// and puts the saved values back when destroyed.
class StreamingSettingsGuard
{
public:
    StreamingSettingsGuard();
    ~StreamingSettingsGuard();
    StreamingSettingsGuard(const StreamingSettingsGuard &) = delete;
    StreamingSettingsGuard &operator=(const StreamingSettingsGuard &) = delete;

private:
    int memory_limit_ = 0;
    int destroy_duration_ = 0;
};

} // namespace tprof
