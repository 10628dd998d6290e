#pragma once

namespace Velmora {

// An engine plug-in. The engine loads plug-ins named by "-extern_plugin NAME"
// (the shared module lib<NAME>_x64[d].so in the binaries folder, which
// exports CreatePlugin and ReleasePlugin) or takes them from
// Engine::addPlugin, checks the version, calls init once and then drives
// the hooks on the main thread: updateMouse before the frame's update,
// update after the editor logic's update, resetWindows when the video output
// restarts ("video_restart"), shutdown when the engine stops.
class Plugin
{
public:
    virtual ~Plugin() = default;
    // Must equal ENGINE_VERSION (0x0400400D), or the engine refuses it.
    virtual int getVersion() const { return 0x0400400D; }
    virtual const char *getName() { return nullptr; }
    virtual void *getData() { return nullptr; }
    // 0 means failure: the engine drops the plug-in.
    virtual int init() { return 1; }
    virtual int shutdown() { return 1; }
    virtual void resetWindows() {}
    virtual void updateMouse() {}
    virtual void update() {}
};

} // namespace Velmora

// What a plug-in module exports.
extern "C" {
typedef Velmora::Plugin *(*VelmoraCreatePluginFunction)();
typedef void (*VelmoraReleasePluginFunction)(Velmora::Plugin *);
}
