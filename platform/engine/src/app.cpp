#include "velmora/Engine.h"

#include "velmora/Game.h"

namespace Velmora {

App *App::get()
{
    Engine *engine = Engine::get();
    return engine ? engine->getApp() : nullptr;
}

int App::getWidth()
{
    App *app = get();
    return app ? app->getViewWidth() : 0;
}

int App::getHeight()
{
    App *app = get();
    return app ? app->getViewHeight() : 0;
}

void *App::getHandle()
{
    App *app = get();
    return app ? app->getNativeHandle() : nullptr;
}

int App::getPositionX()
{
    App *app = get();
    return app ? app->getWindowPositionX() : 0;
}

int App::getPositionY()
{
    App *app = get();
    return app ? app->getWindowPositionY() : 0;
}

int App::getMouseButton()
{
    App *app = get();
    return app ? app->getMouseButtons() : 0;
}

void App::setMouseButton(int buttons)
{
    if (App *app = get())
        app->changeMouseButtons(buttons);
}

float App::getIFps()
{
    return Game::getIFps();
}

} // namespace Velmora
