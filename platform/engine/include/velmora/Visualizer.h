#pragma once

namespace Velmora {

// Debug visualizer settings (stored). Its enabled state is the console
// variable "show_visualizer".
class Visualizer
{
public:
    static int getSize();
    static void setSize(int size);
    static const char *getTextureName();
    static void setTextureName(const char *name);
    static bool isEnabled();
    static void setEnabled(bool enabled);
};

} // namespace Velmora
