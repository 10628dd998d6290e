#pragma once

#include <velmora/Plugin.h>

class Interface;

// The engine plug-in "Interface": makes the Interface singleton on init
// (once) and forwards the engine's reset, mouse and update hooks to it.
class InterfacePlugin : public Velmora::Plugin
{
public:
    InterfacePlugin() = default;
    ~InterfacePlugin() override;

    const char *getName() override { return "Interface"; }
    void *getData() override;
    int init() override;
    int shutdown() override { return 1; }
    void resetWindows() override;
    void updateMouse() override;
    void update() override;

private:
    Interface *interface_ = nullptr;
};
