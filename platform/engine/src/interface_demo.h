#pragma once

#include "velmora/Variable.h"

namespace Velmora {
namespace engine_internal {

// The script-window demo: the functions "interface_demo.open" and
// "interface_demo.close" (group "InterfaceDemo") and the console command
// "interface_demo [close]". Opening needs the "Interface" plug-in.
void registerInterfaceDemo();
// Closes the demo's windows and removes the group and the command.
void unregisterInterfaceDemo();
void demoClose();
Variable demoClose(const Variables &args);

} // namespace engine_internal
} // namespace Velmora
