#include "editor/tracker/tracker.h"

#include <editor_core/Dialogs.h>
#include <editor_core/EditorLogic.h>
#include <editor_core/EngineAppControlsHandler.h>
#include <editor_core/ScriptVariable.h>
#include <editor_core/ViewportManager.h>
#include <editor_core/ViewportWindow.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManager.h>

#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Interpreter.h>
#include <velmora/Log.h>
#include <velmora/Player.h>
#include <velmora/Widget.h>

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegion>

namespace {

const char *const FUNCTION_NAMES[] = {"tracker_init",        "tracker_shutdown", "tracker_update", "set_viewport_gui",
                                      "set_viewport_player", "load_track",       "save_track",     "clear_track"};
const int FUNCTION_ARGS[] = {4, 0, 0, 1, 1, 1, 1, 0};

const QString TITLE = QStringLiteral("Tracker");

QString translated(const char *text)
{
    return QCoreApplication::translate("Tracker", text);
}

} // namespace

Tracker::Tracker(QWidget *parent)
    : WidgetGui(parent)
{
    for (int &id : functions_)
        id = -1;
    setObjectName(TITLE);
    setWindowTitle(TITLE);
    hide();

    EditorLogic *logic = depr::g.editor;
    EC_SOFT_ASSERT(logic);
    if (logic) {
        connect(logic, &EditorLogic::onWorldInit, this, [this] { clearTrack(); });
        connect(logic, &EditorLogic::onUpdate, this, [this] { update(); });
        connect(logic, &EditorLogic::onWorldShutdown, this, [this] { clearTrack(); });
    }

    group_ = Velmora::Interpreter::addGroup("Tamsel2Callbacks");
    Velmora::Interpreter::addExternDefine("HAS_TAMSEL2", group_);
    Velmora::Interpreter::addExternLibrary("tamsel2_callbacks", group_);
    Velmora::Interpreter::addExternFunction("tamsel2_callbacks.manipulatorPressed",
                                            Velmora::makeExternObjectFunction(this, &Tracker::manipulatorPressed),
                                            group_);
    Velmora::Interpreter::addExternFunction("tamsel2_callbacks.manipulatorReleased",
                                            Velmora::makeExternObjectFunction(this, &Tracker::manipulatorReleased),
                                            group_);
}

Tracker::~Tracker()
{
    Velmora::Interpreter::removeGroup(group_);
    // The buttons may outlive this window inside the script's content.
    for (const Velmora::Ptr<Velmora::Widget> &button : {load_button_, save_button_, clear_button_})
        if (button)
            button->clearCallbacks();
    empty_player_.reset();
    empty_gui_.reset();
    clear_button_.reset();
    save_button_.reset();
    load_button_.reset();
}

void Tracker::init()
{
    engine_ = Velmora::Engine::get();
    if (!engine_) {
        Velmora::Log::error("Tracker: the engine is not running\n");
        Editor::WindowManager::add(this, Editor::WindowManager::AREA_TOOL);
        return;
    }
    engine_->findFunction("init", 0);
    for (int i = 0; i < NUM_FUNCTIONS; ++i)
        functions_[i] = engine_->findFunction(FUNCTION_NAMES[i], FUNCTION_ARGS[i]);

    const Velmora::Ptr<Velmora::Gui> gui = this->gui();
    load_button_ = Velmora::WidgetButton::create(gui, translated("Load").toUtf8().constData());
    save_button_ = Velmora::WidgetButton::create(gui, translated("Save").toUtf8().constData());
    clear_button_ = Velmora::WidgetButton::create(gui, translated("Clear").toUtf8().constData());
    load_button_->addCallback(Velmora::Gui::CLICKED, [this] { onLoadClicked(); });
    save_button_->addCallback(Velmora::Gui::CLICKED, [this] { onSaveClicked(); });
    clear_button_->addCallback(Velmora::Gui::CLICKED, [this] { onClearClicked(); });

    void *interpreter = engine_->getInterpreter();
    const Velmora::Variable result = engine_->runFunction(
            Velmora::Variable(functions_[TRACKER_INIT]), Velmora::Variable(interpreter, gui),
            Velmora::Variable(interpreter, load_button_), Velmora::Variable(interpreter, save_button_),
            Velmora::Variable(interpreter, clear_button_));
    const Velmora::Ptr<Velmora::Widget> content = result.getWidget(interpreter);
    if (content) {
        gui->addChild(content, Velmora::Gui::ALIGN_EXPAND);
        content->arrange();
        const int w = content->getWidth();
        const int h = content->getHeight();
        setMinimumSize(w / 3, (h + 20) / 2);
        resize(w, h + 20);
        content_size_ = QSize(w, h + 20);
    } else {
        Velmora::Log::error("Tracker: the track editor script built no content (%s)\n", engine_->getError());
    }
    Editor::WindowManager::add(this, Editor::WindowManager::AREA_TOOL);
}

void Tracker::update()
{
    if (!update_enabled_)
        return;
    const bool visible = Editor::WindowManager::isVisible(this) && !visibleRegion().isEmpty();
    if (was_visible_ && !visible) {
        handOver(nullptr);
        call(TRACKER_UPDATE);
    } else if (!was_visible_ && visible) {
        handOver(last_viewport_.data());
        call(TRACKER_UPDATE);
    } else if (visible) {
        call(TRACKER_UPDATE);
    }
    was_visible_ = visible;
}

void Tracker::setUpdateEnabled(bool enabled)
{
    update_enabled_ = enabled;
}

void Tracker::setViewportPlayer(ViewportWindow *viewport)
{
    if (viewport)
        last_viewport_ = viewport;
    // While the window is hidden the script keeps the nulls it was given
    // when it was hidden (its controls stay out of the viewports); the
    // viewport hovered meanwhile is handed over when it is shown.
    if (was_visible_)
        handOver(viewport);
}

void Tracker::handOver(ViewportWindow *viewport)
{
    void *interpreter = engine_ ? engine_->getInterpreter() : nullptr;
    Velmora::Variable gui(interpreter, empty_gui_);
    Velmora::Variable player(interpreter, empty_player_);
    if (viewport) {
        gui = Velmora::Variable(interpreter, viewport->getGui());
        player = Velmora::Variable(interpreter, viewport->getPlayer());
    }
    call(SET_VIEWPORT_GUI, gui);
    call(SET_VIEWPORT_PLAYER, player);
}

void Tracker::showTracker()
{
    Editor::WindowManager::show(this);
}

QSize Tracker::sizeHint() const
{
    // The script's content, whole: its dock opens no narrower.
    return content_size_.isValid() ? content_size_ : WidgetGui::sizeHint();
}

void Tracker::hideTracker()
{
    Editor::WindowManager::hide(this);
}

void Tracker::shutdown()
{
    call(TRACKER_SHUTDOWN);
}

void Tracker::onLoadClicked()
{
    QPointer<Tracker> self(this);
    Dialogs::browseAssetTrack(
            [self](const Velmora::UGUID &guid) {
                if (self)
                    self->onTrackLoaded(guid);
            },
            Velmora::UGUID());
}

void Tracker::onTrackLoaded(const Velmora::UGUID &guid)
{
    if (guid.isEmpty())
        return;
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    const QString name = assets ? assets->runtime(guid).getName() : QString();
    const Velmora::Variable loaded = call(LOAD_TRACK, Velmora::Variable(guid.getString().get()));
    if (loaded.getInt() != 0) {
        setWindowTitle(TITLE + QStringLiteral(" - ") + name);
        return;
    }
    setWindowTitle(TITLE);
    const QString error = QString::fromLatin1(engine_ ? engine_->getError() : "");
    QMessageBox box(QMessageBox::Critical, translated("Error"), translated("Can't load track\n") + error,
                    QMessageBox::Ok, this);
    box.exec();
}

void Tracker::onSaveClicked()
{
    QPointer<Tracker> self(this);
    Dialogs::saveAssetTrack(
            [self](const QString &path) {
                if (self)
                    self->onTrackSavePath(path);
            },
            [self](const Velmora::UGUID &guid, const QString &name) {
                // An earlier file of that name is no sign that this save
                // wrote it.
                if (self && !guid.isEmpty() && !self->save_failed_)
                    self->setWindowTitle(TITLE + QStringLiteral(" - ") + name);
            },
            Velmora::UGUID());
}

void Tracker::onTrackSavePath(const QString &fpath)
{
    if (fpath.isEmpty()) {
        ::base::printAssertMessage("!fpath.isEmpty()", __FILE__, __LINE__);
        return;
    }
    save_failed_ = false;
    const Velmora::Variable saved = call(SAVE_TRACK, toVariable(fpath));
    // A script that returns nothing has saved; a refusal comes with its
    // reason.
    const QString error = QString::fromUtf8(engine_ ? engine_->getError() : "");
    if (error.isEmpty() || saved.getInt() != 0)
        return;
    save_failed_ = true;
    QMessageBox box(QMessageBox::Critical, translated("Error"), translated("Can't save track\n") + error,
                    QMessageBox::Ok, this);
    box.exec();
}

void Tracker::onClearClicked()
{
    QMessageBox box(QMessageBox::Question, translated("Confirm"), translated("Clear tracks?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(static_cast<QPushButton *>(nullptr));
    if (box.exec() == QMessageBox::Yes)
        clearTrack();
}

void Tracker::clearTrack()
{
    call(CLEAR_TRACK);
    setWindowTitle(TITLE);
}

void Tracker::manipulatorPressed()
{
    if (manipulator_activated_)
        return;
    manipulator_activated_ = true;
    if (ViewportManager *viewports = depr::g.viewports)
        viewports->enableRectangle(false);
}

void Tracker::manipulatorReleased()
{
    // A release without a press breaks the script's contract; ignore it.
    if (!manipulator_activated_)
        return;
    manipulator_activated_ = false;
    if (ViewportManager *viewports = depr::g.viewports)
        viewports->enableRectangle(true);
}

void Tracker::focusInEvent(QFocusEvent *event)
{
    EngineAppControlsHandler::get()->enableNotification(this);
    if (ViewportManager *viewports = depr::g.viewports)
        viewports->setInputActive(nullptr);
    WidgetGui::focusInEvent(event);
}

void Tracker::focusOutEvent(QFocusEvent *event)
{
    EngineAppControlsHandler::get()->disableNotification(this);
    WidgetGui::focusOutEvent(event);
}

Velmora::Variable Tracker::call(ScriptFunction function)
{
    if (!engine_)
        return Velmora::Variable();
    return engine_->runFunction(Velmora::Variable(functions_[function]));
}

Velmora::Variable Tracker::call(ScriptFunction function, const Velmora::Variable &argument)
{
    if (!engine_)
        return Velmora::Variable();
    return engine_->runFunction(Velmora::Variable(functions_[function]), argument);
}
