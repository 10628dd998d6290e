#include "velmora/Engine.h"

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

} // namespace Velmora
