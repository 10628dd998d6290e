#include "script_modules.h"

#include "track.h"

#include "velmora/Editor.h"
#include "velmora/FileSystem.h"
#include "velmora/Game.h"
#include "velmora/Gui.h"
#include "velmora/Interpreter.h"
#include "velmora/Log.h"
#include "velmora/Player.h"
#include "velmora/UGUID.h"
#include "velmora/Widget.h"

#include <algorithm>
#include <cmath>

namespace Velmora {
namespace engine_internal {

namespace {

constexpr int SLIDER_STEPS = 1000;
constexpr float EMPTY_TRACK_LENGTH = 10.0f;
constexpr int CONTENT_PADDING = 6;
constexpr int MIN_SLIDER_WIDTH = 40;

// Resolves a GUID text to the track file and loads it; sets the script
// error on failure.
bool loadTrackFile(const char *guid_text, track::Track &track, String &name)
{
    const UGUID guid(guid_text ? guid_text : "");
    const String path = guid.isEmpty() ? String() : FileSystem::getAbsolutePath(guid);
    if (path.empty()) {
        Interpreter::setError((String("file not found: ") + (guid_text ? guid_text : "")).get());
        return false;
    }
    String error;
    if (!track.load(path.get(), error)) {
        Interpreter::setError(error.get());
        return false;
    }
    name = path.basename();
    return true;
}

// ---- track editor ------------------------------------------------------------------------

struct TrackerModule;
TrackerModule &tracker();

struct TrackerModule
{
    Ptr<Gui> gui;
    Ptr<WidgetVBox> content;
    Ptr<WidgetButton> play;
    Ptr<WidgetSlider> slider;
    Ptr<WidgetLabel> label;
    Ptr<Gui> viewport_gui;
    // The controls shown in the viewport handed over last: the track's
    // state and a key button for that viewport's camera.
    Ptr<WidgetHBox> viewport_panel;
    Ptr<WidgetLabel> viewport_label;
    Ptr<Player> player;
    track::Track track;
    String name;
    bool playing = false;
    float time = 0.0f;

    float length() const { return track.max_time > 0.0f ? track.max_time : EMPTY_TRACK_LENGTH; }

    void applyToPlayer()
    {
        const track::Parameter *parameter = track.findTransformParameter();
        mat4 transform;
        if (player && parameter && track::Track::sample(*parameter, time, transform))
            player->setWorldTransform(transform);
    }

    void refresh()
    {
        if (slider)
            slider->setValue(int(std::lround(time / length() * SLIDER_STEPS)));
        if (play)
            play->setText(playing ? "Stop" : "Play");
        const String text = String::format("%s  %.2f / %.2f  keys: %d", name.empty() ? "(no track)" : name.get(),
                                           double(time), double(track.max_time), track.getNumKeys());
        if (label)
            label->setText(text.get());
        if (viewport_label)
            viewport_label->setText(text.get());
    }

    // The viewport controls leave the viewport handed over before and
    // appear in the one handed over now (none for a null GUI).
    void setViewportGui(const Ptr<Gui> &next)
    {
        if (viewport_gui && viewport_panel)
            viewport_gui->removeChild(Ptr<Widget>(viewport_panel));
        viewport_panel.reset();
        viewport_label.reset();
        viewport_gui = next;
        if (!viewport_gui)
            return;
        viewport_panel = WidgetHBox::create(viewport_gui, 4, 4);
        viewport_label = WidgetLabel::create(viewport_gui, "");
        auto key = WidgetButton::create(viewport_gui, "Add key");
        key->addCallback(Gui::CLICKED, [] { tracker().addKey(); });
        viewport_panel->addChild(viewport_label);
        viewport_panel->addChild(key);
        viewport_gui->addChild(Ptr<Widget>(viewport_panel), Gui::ALIGN_LEFT | Gui::ALIGN_TOP);
        refresh();
    }

    void addKey()
    {
        if (!player)
            return;
        track::Track::setKey(track.transformParameter(player->getName()), time, player->getWorldTransform());
        track.max_time = std::max(track.max_time, time);
        refresh();
    }

    void removeKey()
    {
        for (track::Parameter &parameter : track.parameters)
            if (parameter.type == String(track::Track::TRANSFORM))
                track::Track::removeKey(parameter, time, length() / SLIDER_STEPS * 5.0f);
        refresh();
    }

    void clear()
    {
        track.clear();
        name.clear();
        playing = false;
        time = 0.0f;
        refresh();
    }

    void reset()
    {
        setViewportGui(Ptr<Gui>());
        *this = TrackerModule();
    }
};

TrackerModule &tracker()
{
    static TrackerModule module;
    return module;
}

void callManipulator(const char *name)
{
    if (Interpreter::isDefined("HAS_TAMSEL2") && Interpreter::isFunction(name))
        Interpreter::call(name, Variables());
}

Variable trackerInit(const Variables &args)
{
    TrackerModule &m = tracker();
    void *interpreter = Interpreter::get();
    m.gui = args[0].getGui(interpreter);
    if (!m.gui) {
        Interpreter::setError("tracker_init: no gui");
        return Variable();
    }
    Gui *gui = m.gui.get();
    m.content = WidgetVBox::create(gui, 4, CONTENT_PADDING);
    auto file_row = WidgetHBox::create(gui, 4, 0);
    for (int i = 1; i <= 3; ++i)
        if (const Ptr<Widget> button = args[i].getWidget(interpreter))
            file_row->addChild(button);
    m.play = WidgetButton::create(gui, "Play");
    file_row->addChild(m.play);
    auto key_row = WidgetHBox::create(gui, 4, 0);
    auto add = WidgetButton::create(gui, "Add key");
    auto remove = WidgetButton::create(gui, "Remove key");
    key_row->addChild(add);
    key_row->addChild(remove);
    m.slider = WidgetSlider::create(m.gui, 0, SLIDER_STEPS, 0);
    m.slider->setWidth(260);
    m.label = WidgetLabel::create(m.gui, "");
    m.content->addChild(file_row);
    m.content->addChild(key_row);
    m.content->addChild(m.slider);
    m.content->addChild(m.label);

    m.play->addCallback(Gui::CLICKED, [] {
        TrackerModule &t = tracker();
        t.playing = !t.playing;
        if (t.playing && t.time >= t.length())
            t.time = 0.0f;
        t.refresh();
    });
    add->addCallback(Gui::CLICKED, [] { tracker().addKey(); });
    remove->addCallback(Gui::CLICKED, [] { tracker().removeKey(); });
    m.slider->addCallback(Gui::CHANGED, [] {
        TrackerModule &t = tracker();
        t.time = float(t.slider->getValue()) / SLIDER_STEPS * t.length();
        t.applyToPlayer();
        t.refresh();
    });
    // Dragging the time cursor moves the camera like a gizmo: the viewports
    // stop their rectangle selection meanwhile.
    m.slider->addCallback(Gui::PRESSED, [] { callManipulator("tamsel2_callbacks.manipulatorPressed"); });
    m.slider->addCallback(Gui::RELEASED, [] { callManipulator("tamsel2_callbacks.manipulatorReleased"); });
    m.refresh();
    m.content->arrange();
    return Variable(interpreter, Ptr<Widget>(m.content));
}

Variable trackerUpdate(const Variables &)
{
    TrackerModule &m = tracker();
    // The time slider spans the window however narrow it is docked (the
    // label below may be wider than the window, the slider never is).
    if (m.gui && m.slider)
        m.slider->setWidth(std::max(MIN_SLIDER_WIDTH, m.gui->getWidth() - 2 * CONTENT_PADDING));
    if (m.playing) {
        const float unit = m.track.unit_time > 0.0f ? m.track.unit_time : 1.0f;
        m.time += std::max(0.0f, Game::getIFps()) / unit;
        if (m.time >= m.length()) {
            m.time = m.length();
            m.playing = false;
        }
        m.applyToPlayer();
    }
    m.refresh();
    return Variable();
}

// ---- video grabber -----------------------------------------------------------------------

struct GrabberModule
{
    track::Track track;
    track::Playback playback;
    bool loaded = false;
};

GrabberModule &grabber()
{
    static GrabberModule module;
    return module;
}

void resetGrabberTrack()
{
    GrabberModule &g = grabber();
    g.playback.restore();
    g.track.clear();
    g.loaded = false;
}

int g_group = -1;

void add(const char *name, int num_args, std::function<Variable(const Variables &)> call)
{
    Interpreter::addExternFunction(name, num_args, std::move(call), g_group);
}

} // namespace

void registerEditorScript()
{
    unregisterEditorScript();
    g_group = Interpreter::addGroup("EditorScript");

    add("init", 0, [](const Variables &) { return Variable(); });
    add("tracker_init", 4, trackerInit);
    add("tracker_shutdown", 0, [](const Variables &) {
        tracker().reset();
        return Variable();
    });
    add("tracker_update", 0, trackerUpdate);
    add("set_viewport_gui", 1, [](const Variables &args) {
        tracker().setViewportGui(args[0].getGui(Interpreter::get()));
        return Variable();
    });
    add("set_viewport_player", 1, [](const Variables &args) {
        tracker().player = args[0].getPlayer(Interpreter::get());
        return Variable();
    });
    add("load_track", 1, [](const Variables &args) {
        TrackerModule &m = tracker();
        track::Track loaded;
        String name;
        if (!loadTrackFile(args[0].getString(), loaded, name))
            return Variable(0);
        m.track = loaded;
        m.name = name;
        m.time = 0.0f;
        m.playing = false;
        m.applyToPlayer();
        m.refresh();
        return Variable(1);
    });
    add("save_track", 1, [](const Variables &args) {
        TrackerModule &m = tracker();
        String error;
        if (!m.track.save(args[0].getString(), error)) {
            Interpreter::setError(error.get());
            return Variable(0);
        }
        m.name = String(args[0].getString()).basename();
        m.refresh();
        return Variable(1);
    });
    add("clear_track", 0, [](const Variables &) {
        tracker().clear();
        return Variable();
    });

    add("VideoGrabber::init", 0, [](const Variables &) {
        resetGrabberTrack();
        grabber().playback.setPlayer(Editor::getPlayer());
        return Variable();
    });
    add("VideoGrabber::shutdown", 0, [](const Variables &) {
        resetGrabberTrack();
        grabber().playback.setPlayer(Ptr<Node>());
        return Variable();
    });
    add("VideoGrabber::load_track", 1, [](const Variables &args) {
        GrabberModule &g = grabber();
        resetGrabberTrack();
        String name;
        g.loaded = loadTrackFile(args[0].getString(), g.track, name);
        return Variable(g.loaded ? 1 : 0);
    });
    add("VideoGrabber::track_is_loaded", 0, [](const Variables &) { return Variable(grabber().loaded ? 1 : 0); });
    add("VideoGrabber::track_set", 1, [](const Variables &args) {
        GrabberModule &g = grabber();
        if (!g.loaded)
            return Variable();
        const float time = args[0].getFloat();
        g.playback.apply(g.track, time);
        // The track editor plays the camera path (the first transform
        // entry) on the camera of the viewport it was handed, whatever node
        // the path was recorded for; the editor camera and the game camera
        // follow it the same way, unless the track names them: a node the
        // track names follows its own entries only, as placed above.
        const track::Parameter *path = g.track.findTransformParameter();
        mat4 transform;
        if (path && track::Track::sample(*path, time, transform)) {
            for (const Ptr<Player> &camera : {Editor::getPlayer(), Game::getPlayer()})
                if (camera && !g.track.namesNode(camera->getName()))
                    g.playback.place(camera, transform);
        }
        return Variable();
    });
    add("VideoGrabber::track_get_max_time", 0, [](const Variables &) { return Variable(grabber().track.max_time); });
    add("VideoGrabber::track_get_unit_time", 0, [](const Variables &) { return Variable(grabber().track.unit_time); });
    add("VideoGrabber::reset_track", 0, [](const Variables &) {
        resetGrabberTrack();
        return Variable();
    });

    if (!Interpreter::isDefined("HAS_TAMSEL2") || !Interpreter::isFunction("tamsel2_callbacks.manipulatorPressed")
        || !Interpreter::isFunction("tamsel2_callbacks.manipulatorReleased"))
        Log::error("Editor: the editor script needs HAS_TAMSEL2 and the tamsel2_callbacks functions; register "
                   "them before the script loads\n");
}

void unregisterEditorScript()
{
    if (g_group >= 0)
        Interpreter::removeGroup(g_group);
    g_group = -1;
    tracker().reset();
    resetGrabberTrack();
    grabber().playback.setPlayer(Ptr<Node>());
}

} // namespace engine_internal
} // namespace Velmora
