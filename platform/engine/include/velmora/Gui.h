#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"

namespace Velmora {

// An engine GUI surface. The widget set comes later; for now a GUI has a
// skin name, a size and a hidden flag. Gui::get() is the engine's main GUI
// (null while the engine is not running).
class Gui
{
public:
    static Gui *get();
    static Ptr<Gui> create(const char *skin = nullptr);

    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden) { hidden_ = hidden; }
    const char *getSkin() const { return skin_.get(); }
    int getWidth() const { return width_; }
    int getHeight() const { return height_; }
    void setSize(int width, int height)
    {
        width_ = width;
        height_ = height;
    }
    // Per-frame hook of the engine update (widget callbacks will fire here).
    void update(float ifps);

private:
    Gui() = default;
    String skin_;
    bool hidden_ = false;
    int width_ = 0;
    int height_ = 0;
};

} // namespace Velmora
