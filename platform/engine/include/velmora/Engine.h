#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"
#include "velmora/Variable.h"
#include "velmora/Vector.h"

#include <string>
#include <vector>

class QImage;

namespace Velmora {

class Material;
class Player;

// Version every caller of Engine::init (and every plug-in) must present.
constexpr int ENGINE_VERSION = 0x0400400D;

// The editor's side of the engine: the engine calls these on its main thread.
class EditorLogicInterface
{
public:
    virtual ~EditorLogicInterface() = default;
    virtual void init() {}
    virtual void update() {}
    virtual void worldInit() {}
    virtual void worldShutdown() {}
    virtual void worldSave() {}
    virtual void nodeRemoved(int /*id*/) {}
    virtual void compileBegin() {}
    virtual void compileMaterial(const Ptr<Material> & /*material*/, int /*remaining*/) {}
    virtual void compileEnd() {}
};

// Something the engine draws into on every frame: render() draws the view's
// player (or the editor camera when it has none) into an image of the view's
// size, swap() hands that image to presentFrame() on the main thread.
class View
{
public:
    virtual ~View() = default;
    virtual Ptr<Player> getViewPlayer() const { return Ptr<Player>(); }
    virtual int getViewWidth() const = 0;
    virtual int getViewHeight() const = 0;
    virtual void presentFrame(const QImage &frame) = 0;
};

// The application window the engine runs in (the editor's engine widget or
// the player's window). Its own view is registered by Engine::init.
class App : public View
{
public:
    // Ends the application through its normal shutdown (-quit_after_frames).
    virtual void requestQuit() = 0;
    virtual void setBackgroundUpdate(bool /*enabled*/) {}
    virtual int getMouseButtons() const { return 0; }
    // The native window the application shows the engine in (null while it
    // has none), its top-left corner on the desktop, and a change of the held
    // buttons by the engine (a plug-in taking a click for itself).
    virtual void *getNativeHandle() const { return nullptr; }
    virtual int getWindowPositionX() const { return 0; }
    virtual int getWindowPositionY() const { return 0; }
    virtual void changeMouseButtons(int /*buttons*/) {}

    // The running engine's application window (null when there is none)
    // and its size (0 without one).
    static App *get();
    static int getWidth();
    static int getHeight();
    static void *getHandle();
    static int getPositionX();
    static int getPositionY();
    // Held mouse buttons: bit 1 left, 2 right, 4 middle, 8 and up others.
    static int getMouseButton();
    static void setMouseButton(int buttons);
    // Frame time step in seconds.
    static float getIFps();
};

class Plugin;

// The engine: start, one frame as update() + render() + swap(), stop.
class Engine
{
public:
    // Starts the engine. version must be ENGINE_VERSION, otherwise an error
    // is logged and null returned. Exactly argc arguments are copied (the
    // array needs no terminating null). app may be null.
    static Engine *init(int version, App *app, int argc, char **argv, const char *home_path = nullptr,
                        const char *project_path = nullptr);
    static Engine *get();
    // Quits the world, unloads plug-ins, writes the cache files. get() is
    // null afterwards.
    static void shutdown();
    // True on the thread that called init (before init: the Qt application
    // thread).
    static bool isMainThread();

    void setEditorLogic(EditorLogicInterface *logic);
    App *getApp() const;
    EditorLogicInterface *getEditorLogic() const;

    void update();
    void render();
    void swap();

    void addView(View *view);
    void removeView(View *view);

    // Plug-ins: those named by "-extern_plugin" are loaded by init; others
    // (in-process, tests) are added here and stay owned by the caller.
    // addPlugin checks the version and calls init; false when refused.
    bool addPlugin(Plugin *plugin);
    // Shuts the plug-in down and forgets it.
    void removePlugin(Plugin *plugin);
    int getNumPlugins() const;
    Plugin *getPlugin(int index) const;
    Plugin *findPlugin(const char *name) const;

    // Folders: UTF-8, absolute, cleaned, ending with "/".
    String getBinariesPath() const;
    String getDataPath() const;
    String getCachePath() const;
    String getSystemCacheFile() const;
    String getEditorCacheFile() const;
    // 0 debug, 1 development, 2 release.
    int getBuildConfiguration() const;

    // Script functions (the Interpreter registry): an id by name and number
    // of arguments (-1 when none), and calls by id (an int value) or by name
    // (a string value). An unknown function gives an empty value and the
    // error "function not found"; every successful call clears the error.
    int findFunction(const char *name, int num_args) const;
    Variable runFunction(const Variable &function) const;
    Variable runFunction(const Variable &function, const Variable &a0) const;
    Variable runFunction(const Variable &function, const Variable &a0, const Variable &a1, const Variable &a2,
                         const Variable &a3) const;
    const char *getError() const;
    // Opaque handle that object values are bound to.
    void *getInterpreter() const;

    // The arguments given to init, unchanged (tests).
    const std::vector<std::string> &args() const;
    // Whether an argument is present, and the value following it.
    bool hasArg(const char *name) const;
    String getArgValue(const char *name) const;

private:
    Engine();
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    struct Private;
    Private *d_ = nullptr;
};

} // namespace Velmora
