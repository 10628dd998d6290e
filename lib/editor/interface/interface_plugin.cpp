#include "editor/interface/interface_plugin.h"

#include "editor/interface/interface.h"

InterfacePlugin::~InterfacePlugin()
{
    delete interface_;
}

void *InterfacePlugin::getData()
{
    return interface_;
}

int InterfacePlugin::init()
{
    if (!interface_)
        interface_ = new Interface;
    return 1;
}

void InterfacePlugin::resetWindows()
{
    interface_->resetWindows();
}

void InterfacePlugin::updateMouse()
{
    interface_->updateMouse();
}

void InterfacePlugin::update()
{
    interface_->update();
}
