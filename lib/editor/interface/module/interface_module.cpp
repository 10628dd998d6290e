// The shared module the engine loads for "-extern_plugin Interface".

#include "editor/interface/interface_plugin.h"

extern "C" __attribute__((visibility("default"))) Velmora::Plugin *CreatePlugin()
{
    return new InterfacePlugin;
}

extern "C" __attribute__((visibility("default"))) void ReleasePlugin(Velmora::Plugin *plugin)
{
    delete plugin;
}
