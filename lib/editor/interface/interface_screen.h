#pragma once

// One screen of the desktop as the script windows see it: size and top-left
// corner in desktop pixels.
struct InterfaceScreen
{
    int width = 0;
    int height = 0;
    int x = 0;
    int y = 0;
};
