#include "killed_process.h"

#include "scenario_runner.h"

#include "editor/application/application.h"
#include "editor/assembly/build_presenter.h"
#include "editor/console/console_widget.h"
#include "editor/presenter/presenter.h"

#include <editor_core/EngineAppWidget.h>
#include <editor_core/EngineViewportWidget.h>
#include <editor_core/View.h>
#include <editor_core/base/Timer.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/Engine.h>
#include <velmora/Gui.h>
#include <velmora/Render.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <clocale>
#include <memory>

#include <unistd.h>

namespace {

// The hexadecimal text of a fixture GUID ("{c001}").
QString guid(const char *shorthand)
{
    return test::ProjectBuilder::expandGuids(QString::fromLatin1(shorthand));
}

// Registry members that stay set after shutdown on purpose.
bool keptAfterShutdown(const QString &name)
{
    return name == QLatin1String("undo") || name == QLatin1String("window_manager");
}

QStringList setMembers(bool want_set)
{
    QStringList names;
    const auto globals = depr::globalsPointers(depr::g);
    for (int i = 0; i < depr::EDITOR_GLOBALS_COUNT; ++i) {
        if ((globals[size_t(i)] != nullptr) == want_set)
            names << QString::fromLatin1(depr::globalsName(i));
    }
    const auto gui = depr::guiPointers(depr::gui);
    for (int i = 0; i < depr::EDITOR_GUI_COUNT; ++i) {
        if ((gui[size_t(i)] != nullptr) == want_set)
            names << QStringLiteral("gui.") + QString::fromLatin1(depr::guiName(i));
    }
    return names;
}

// ---- registries_and_arguments ---------------------------------------------

class RegistriesAfterShutdown : public QObject
{
    Q_OBJECT

private slots:
    void registries_are_cleared_except_undo_and_window_manager()
    {
        QStringList still_set;
        for (const QString &name : setMembers(true)) {
            if (!keptAfterShutdown(name))
                still_set << name;
        }
        QVERIFY2(still_set.isEmpty(), qPrintable(still_set.join(QLatin1String(", "))));
        QVERIFY(depr::g.undo);
    }

    void engine_is_stopped() { QCOMPARE(Velmora::Engine::get(), nullptr); }

    void log_file_holds_the_start_up_header()
    {
        const QString log = test::readLog();
        const int header = log.indexOf(QLatin1String("---- Editor ----\n"));
        QVERIFY(header >= 0);
        QVERIFY(log.indexOf(QLatin1String("Version: 2.11.0.0 ver-2.11.0.0-")) > header);
        QVERIFY(log.indexOf(QLatin1String("Binary: Linux GCC ")) > header);
    }
};

class RegistriesAndArguments : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &, QStringList &arguments) override
    {
        arguments << QStringLiteral("-custom_flag") << QStringLiteral("w\u00f6rld value");
        arguments_ = arguments;
        // A user whose numbers are written 1,5.
        qputenv("LC_NUMERIC", "de_DE.UTF-8");
    }
    QObject *postShutdownChecks() override { return &after_; }

private slots:
    void every_registry_member_is_set_after_start_up()
    {
        QStringList missing;
        for (const QString &name : setMembers(false)) {
            if (name != QLatin1String("reserved28"))
                missing << name;
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
    }

    void engine_gets_every_argument_then_skip_guidsdb()
    {
        const std::vector<std::string> &args = Velmora::Engine::get()->args();
        QCOMPARE(int(args.size()), arguments_.size() + 2);
        for (int i = 0; i < arguments_.size(); ++i)
            QCOMPARE(QString::fromStdString(args[size_t(i) + 1]), arguments_.at(i));
        QCOMPARE(QString::fromStdString(args.back()), QStringLiteral("-skip_guidsdb"));
    }

    void engine_widget_gets_the_unchanged_arguments()
    {
        const QStringList widget_args = test::presenter()->appWidget()->arguments();
        QCOMPARE(widget_args.mid(1), arguments_);
    }

    void finished_builds_leave_an_inactive_component_system_alone()
    {
        QVERIFY(!depr::g.cs_manager->active());
        QVERIFY(depr::gui.engine_viewport);
        emit test::presenter()->buildPresenter()->buildFinished(true);
        QCOMPARE(depr::g.cs_manager->callLog().count(QStringLiteral("setDirtyBuild")), 0);
    }

    void frames_run_and_the_timer_is_active()
    {
        QVERIFY(test::presenter()->updateTimer()->isActive());
        QVERIFY(test::waitFrames(5));
    }

    void log_header_comes_before_the_materials_load()
    {
        const QString log = test::capturedLog();
        const int header = log.indexOf(QLatin1String("---- Editor ----"));
        const int materials = log.indexOf(QLatin1String("Materials:"));
        QVERIFY(header >= 0);
        QVERIFY2(materials < 0 || header < materials, qPrintable(log.left(2000)));
    }

    void numbers_are_written_with_a_point_in_a_comma_locale()
    {
        QCOMPARE(QLocale::system().toString(1.5), QStringLiteral("1,5"));
        QCOMPARE(QLocale().toString(1.5), QStringLiteral("1.5"));
        QCOMPARE(QString::fromUtf8(std::localeconv()->decimal_point), QStringLiteral("."));
    }

    void main_window_starts_at_three_quarters_of_the_screen()
    {
        QCOMPARE(test::context().application->view() != nullptr, true);
        QCOMPARE(depr::gui.main_window->size(), QSize(600, 450));
    }

private:
    QStringList arguments_;
    RegistriesAfterShutdown after_;
};

// ---- engine_failure ---------------------------------------------------------

QStringList g_failure_messages;

class EngineFailureChecks : public QObject
{
    Q_OBJECT

private slots:
    void user_is_told_that_the_engine_failed()
    {
        QCOMPARE(g_failure_messages, QStringList{QStringLiteral("Engine failed to start")});
    }

    void failure_is_logged_and_the_engine_never_ran()
    {
        QVERIFY(test::capturedLog().contains(QLatin1String("the engine failed to start")));
        QCOMPARE(Velmora::Engine::get(), nullptr);
        QVERIFY(!test::capturedLog().contains(QLatin1String("---- Editor ----")));
        QCOMPARE(depr::g.editor, nullptr);
        QCOMPARE(depr::g.settings, nullptr);
    }
};

class EngineFailure : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &, QStringList &) override
    {
        // The real engine refuses a start with a wrong interface version.
        Editor::Presenter::setEngineStarter([](int, Velmora::App *app, int argc, char **argv) {
            return Velmora::Engine::init(0x1, app, argc, argv, nullptr, nullptr);
        });
        Editor::Presenter::setCriticalMessageHook(
                [](QWidget *, const QString &, const QString &text) { g_failure_messages << text; });
    }
    QObject *postShutdownChecks() override { return &checks_; }
    int expectedExitCode() const override { return Editor::Application::EXIT_ENGINE_FAILED; }
    bool expectsStart() const override { return false; }

private:
    EngineFailureChecks checks_;
};

// ---- components_active ------------------------------------------------------

class ComponentsActive : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        project.projectFile(QStringLiteral("test"), 1);
        // One component that fails validation, one that does not, a preset.
        project.asset(QStringLiteral("components/Broken.cs"), "class Broken {}\n#error not finished\n",
                      QStringLiteral("{c001}"), 22);
        project.asset(QStringLiteral("components/Mover.cs"), "class Mover {}\n", QStringLiteral("{c002}"), 22);
        project.asset(QStringLiteral("presets/fast.preset"), "speed 2\n", QStringLiteral("{c003}"), 23);
    }

private slots:
    void start_up_passes_failed_components_on_and_calls_post_init_once()
    {
        const core::CallLog &log = depr::g.cs_manager->callLog();
        QCOMPARE(log.count(QStringLiteral("componentChanged ") + guid("{c001}")), 1);
        QCOMPARE(log.count(QStringLiteral("componentChanged ") + guid("{c002}")), 0);
        QCOMPARE(log.count(QStringLiteral("postInit")), 1);
        // In start-up order: the component system is set up before the
        // failed components are passed on, and post-initialised last.
        const QStringList calls = log.calls();
        QVERIFY(calls.indexOf(QStringLiteral("init"))
                < calls.indexOf(QStringLiteral("componentChanged ") + guid("{c001}")));
        QVERIFY(calls.indexOf(QStringLiteral("componentChanged ") + guid("{c001}"))
                < calls.indexOf(QStringLiteral("postInit")));
    }

    void asset_events_of_components_and_presets_reach_the_component_system()
    {
        Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
        const core::CallLog &log = depr::g.cs_manager->callLog();
        const QString mover = guid("{c002}");
        const QString preset = guid("{c003}");
        const QString world = guid("{a101}");
        const QString mover_path = QDir::toNativeSeparators(assets->filePath(Velmora::UGUID(qPrintable(mover))));
        const QString preset_path = assets->filePath(Velmora::UGUID(qPrintable(preset)));
        for (const QString &g : {mover, preset, world}) {
            const Velmora::UGUID id(qPrintable(g));
            emit assets->added(id);
            emit assets->moved(id);
            emit assets->changed(id);
            emit assets->aboutToBeRemoved(id);
        }
        emit assets->end();
        emit assets->dirRemoved(QFileInfo(QStringLiteral("/data/gone")));
        emit assets->dirMoved(QStringLiteral("/data/a"), QStringLiteral("/data/b"));

        const QStringList calls = log.calls();
        const QStringList expected{QStringLiteral("componentAdded %1 %2").arg(mover, mover_path),
                                   QStringLiteral("componentMoved %1 %2").arg(mover, mover_path),
                                   QStringLiteral("componentChanged ") + mover,
                                   QStringLiteral("componentRemoved ") + mover,
                                   QStringLiteral("presetAdded %1 %2").arg(preset, preset_path),
                                   QStringLiteral("presetMoved %1 %2").arg(preset, preset_path),
                                   QStringLiteral("presetChanged %1 %2").arg(preset, preset_path),
                                   QStringLiteral("presetRemoved ") + preset,
                                   QStringLiteral("flush"),
                                   QStringLiteral("dirRemoved /data/gone"),
                                   QStringLiteral("dirMoved /data/a /data/b")};
        QCOMPARE(calls.mid(calls.size() - expected.size()), expected);
        for (const QString &call : calls)
            QVERIFY2(!call.contains(world), qPrintable(call)); // other assets are not its business
    }

    void a_notification_brings_the_console_up()
    {
        QWidget *console = depr::gui.console;
        Editor::WindowManager::hide(console);
        QVERIFY(!console->isVisible());
        emit depr::g.cs_manager->notificationActivated();
        QVERIFY(console->isVisible());
    }

    void there_is_no_engine_viewport_and_rendering_is_off()
    {
        QCOMPARE(depr::gui.engine_viewport, nullptr);
        QCOMPARE(Velmora::Render::isEnabled(), 0);
    }

    void finished_builds_mark_the_component_build_dirty()
    {
        const int before = depr::g.cs_manager->callLog().count(QStringLiteral("setDirtyBuild"));
        emit test::presenter()->buildPresenter()->buildFinished(true);
        QCOMPARE(depr::g.cs_manager->callLog().count(QStringLiteral("setDirtyBuild")), before + 1);
    }

    void engine_gui_is_hidden()
    {
        QVERIFY(Velmora::Gui::get());
        QVERIFY(Velmora::Gui::get()->isHidden());
    }

    void engine_viewport_command_is_refused_softly()
    {
        emit depr::g.window_manager->toggleEngineViewport();
        QTRY_VERIFY(test::capturedLog().contains(QLatin1String("SOFT ASSERT: \"depr::gui.engine_viewport\"")));
        QVERIFY(test::waitFrames(3));
    }
};

// ---- leftovers -------------------------------------------------------------

// What editors killed while saving or grabbing left in the data folder goes
// at the next start, and the kept earlier contents of a run killed half way
// go back over what it wrote; what only looks like ours (the users' own
// names, our older forms), what is not what we make, what lies outside the
// data folder or behind a link, and what running processes made stay.
class Leftovers : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        project.projectFile();
        project.world(QStringLiteral("worlds/courtyard.world"), QStringLiteral("{a101}"), {QStringLiteral("gate")});
        const QString data = project.dataPath();
        QDir().mkpath(data + QStringLiteral(".tamsel2"));
        for (const char *name : {"lamp", "tree", "rock", "bush", "post"})
            QDir().mkpath(data + QLatin1String(name));
        project.file(QStringLiteral(".budget.2019-04.tmp"), "budget");
        project.file(QStringLiteral(".report.2023-11.tmp"), "report");
        for (const char *name : {"frame_0001.png", "frame_0002.png"})
            project.file(QStringLiteral("shots/.frame_123-x/") + QLatin1String(name), "mine");
        dead_ = test::runKilled(
                data,
                QStringLiteral(
                        "sum() { printf %s \"$1\" | sha1sum | cut -c1-40; } && "
                        "printf half > worlds/.courtyard.world.velmora-tmp-$$-0 && "
                        "printf x > .tamsel2/..cleanerignore.velmora-tmp-$$-1 && "
                        "mkdir shots/.velmora-frame-$$-k1 && printf x > shots/.velmora-frame-$$-k1/frame_0001.png && "
                        "mkdir shots/.velmora-frame-$$-k2 && printf x > shots/.velmora-frame-$$-k2/notes.txt && "
                        "mkdir shots/.velmora-frame-$$-k3 && printf x > shots/.velmora-frame-$$-k3/frame_0001.png && "
                        "printf x > shots/.velmora-frame-$$-k3/frame_0002.png && "
                        "printf x > worlds/courtyard.world.velmora-tmp-$$-0 && "
                        "printf x > worlds/.courtyard.world.$$-0.tmp && "
                        "printf outside > ../.test.project.velmora-tmp-$$-0 && "
                        "ln -s ../../.test.project.velmora-tmp-$$-0 worlds/.linked.world.velmora-tmp-$$-2 && "
                        // A re-run killed once the albedo was written over.
                        "printf \"velmora kept files 1\\nfinished 0\\n.lamp_alb.tga.velmora-keep-$$-3\\tlamp_alb.tga"
                        "\\tput $(sum 'new albedo')\\n"
                        ".lamp_sh.tga.velmora-keep-$$-4\\tlamp_sh.tga\\n\" > lamp/.impostor.velmora-run-$$-5 && "
                        "printf 'earlier albedo' > lamp/.lamp_alb.tga.velmora-keep-$$-3 && "
                        "printf 'new albedo' > lamp/lamp_alb.tga && "
                        "printf 'earlier shading' > lamp/lamp_sh.tga && "
                        "ln lamp/lamp_sh.tga lamp/.lamp_sh.tga.velmora-keep-$$-4 && "
                        "printf 'earlier ao' > lamp/.lamp_ao.tga.velmora-keep-$$-6 && "
                        "printf 'earlier ao' > lamp/lamp_ao.tga && "
                        // A finished re-run whose undo step was still there.
                        "printf \"velmora kept files 1\\nfinished "
                        "1\\n.tree_alb.tga.velmora-keep-$$-7\\ttree_alb.tga\\n\""
                        " > tree/.impostor.velmora-run-$$-8 && "
                        "printf 'earlier albedo' > tree/.tree_alb.tga.velmora-keep-$$-7 && "
                        "printf 'new albedo' > tree/tree_alb.tga && "
                        // An undo killed once the albedo and the material
                        // had their earlier contents, before the shading.
                        "printf \"velmora kept files 1\\nfinished 0\\n"
                        ".bush_alb.tga.velmora-keep-$$-11\\tbush_alb.tga\\tput $(sum 'earlier albedo')\\n"
                        ".bush_sh.tga.velmora-keep-$$-12\\tbush_sh.tga\\tput $(sum 'earlier shading')\\n"
                        ".bush.mat.velmora-keep-$$-14\\tbush.mat\\tput $(sum 'earlier material')\\n"
                        ".bush_alb.tga.velmora-keep-$$-15\\tbush_alb.tga\\tdrop\\n"
                        ".bush_sh.tga.velmora-keep-$$-13\\tbush_sh.tga\\tdrop\\n\""
                        " > bush/.impostor.velmora-run-$$-16 && "
                        "printf 'earlier albedo' > bush/bush_alb.tga && "
                        "printf 'new albedo' > bush/.bush_alb.tga.velmora-keep-$$-11 && "
                        "printf 'new shading' > bush/bush_sh.tga && "
                        "ln bush/bush_sh.tga bush/.bush_sh.tga.velmora-keep-$$-12 && "
                        "printf 'earlier shading' > bush/.bush_sh.tga.velmora-keep-$$-13 && "
                        "printf 'earlier material' > bush/bush.mat && "
                        "printf 'new material' > bush/.bush.mat.velmora-keep-$$-14 && "
                        // A re-run killed once the material took its name,
                        // and then the material and a texture changed and one
                        // removed by the user: they stay (or stay away), and
                        // so do their earlier contents.
                        "printf \"velmora kept files 1\\nfinished 0\\n"
                        ".post.mat.velmora-keep-$$-17\\tpost.mat\\tput $(sum 'new material')\\n"
                        ".post_alb.tga.velmora-keep-$$-18\\tpost_alb.tga\\tput $(sum 'new albedo')\\n"
                        ".post_sh.tga.velmora-keep-$$-19\\tpost_sh.tga\\tput $(sum 'new shading')\\n"
                        ".post_ao.tga.velmora-keep-$$-21\\tpost_ao.tga\\tput $(sum 'new ao')\\n\""
                        " > post/.impostor.velmora-run-$$-20 && "
                        "printf 'earlier material' > post/.post.mat.velmora-keep-$$-17 && "
                        "printf 'edited by the user' > post/post.mat && "
                        "printf 'earlier albedo' > post/.post_alb.tga.velmora-keep-$$-18 && "
                        "printf 'new albedo' > post/post_alb.tga && "
                        "printf 'earlier shading' > post/.post_sh.tga.velmora-keep-$$-19 && "
                        "printf 'replaced by the user' > post/post_sh.tga && "
                        "printf 'earlier ao' > post/.post_ao.tga.velmora-keep-$$-21 && "
                        // One that no journal names yet, whose file is gone.
                        "printf 'earlier fern' > tree/.fern.tga.velmora-keep-$$-22 && "
                        // A journal that cannot be read keeps its kept files.
                        "printf 'not a journal' > rock/.impostor.velmora-run-$$-9 && "
                        "printf 'earlier albedo' > rock/.rock_alb.tga.velmora-keep-$$-10 && "
                        "printf 'new albedo' > rock/rock_alb.tga"));
        container_ = test::startInContainer(data, &contained_);
        if (container_) {
            project.file(QStringLiteral("worlds/.courtyard.world.velmora-tmp-%1-0").arg(contained_), "being written");
            project.file(QStringLiteral("lamp/.impostor.velmora-run-%1-1").arg(contained_),
                         QStringLiteral("velmora kept files 1\nfinished 0\n.c.tga.velmora-keep-%1-2\tc.tga\n")
                                 .arg(contained_)
                                 .toUtf8());
            project.file(QStringLiteral("lamp/.c.tga.velmora-keep-%1-2").arg(contained_), "earlier c");
            project.file(QStringLiteral("lamp/c.tga"), "earlier c");
        }
        running_.reset(new QProcess);
        running_->start(QStringLiteral("sleep"), {QStringLiteral("120")});
        running_->waitForStarted();
        for (const qint64 pid : {running_->processId(), qint64(::getpid())}) {
            project.file(QStringLiteral("worlds/.courtyard.world.velmora-tmp-%1-0").arg(pid), "being written");
            project.file(QStringLiteral("tree/.tree_sh.tga.velmora-keep-%1-0").arg(pid), "kept for undo");
            project.file(QStringLiteral("tree/.impostor.velmora-run-%1-1").arg(pid),
                         "velmora kept files 1\nfinished 0\n");
        }
    }

private slots:
    void what_killed_editors_left_in_the_data_folder_is_gone_and_nothing_else()
    {
        QVERIFY(dead_ > 0);
        const QString data = test::context().data_path;
        const QString pid = QString::number(dead_);
        for (const QString &gone :
             {QStringLiteral("worlds/.courtyard.world.velmora-tmp-%1-0"),
              QStringLiteral(".tamsel2/..cleanerignore.velmora-tmp-%1-1"), QStringLiteral("shots/.velmora-frame-%1-k1"),
              QStringLiteral("lamp/.impostor.velmora-run-%1-5"), QStringLiteral("lamp/.lamp_alb.tga.velmora-keep-%1-3"),
              QStringLiteral("lamp/.lamp_sh.tga.velmora-keep-%1-4"),
              QStringLiteral("lamp/.lamp_ao.tga.velmora-keep-%1-6"), QStringLiteral("tree/.impostor.velmora-run-%1-8"),
              QStringLiteral("tree/.tree_alb.tga.velmora-keep-%1-7"),
              QStringLiteral("bush/.impostor.velmora-run-%1-16"),
              QStringLiteral("bush/.bush_alb.tga.velmora-keep-%1-11"),
              QStringLiteral("bush/.bush_sh.tga.velmora-keep-%1-12"),
              QStringLiteral("bush/.bush_sh.tga.velmora-keep-%1-13"),
              QStringLiteral("bush/.bush.mat.velmora-keep-%1-14")})
            QVERIFY2(!QFileInfo::exists(data + gone.arg(pid)), qPrintable(gone.arg(pid)));
        for (const QString &kept :
             {QStringLiteral("shots/.velmora-frame-%1-k2/notes.txt"),
              QStringLiteral("shots/.velmora-frame-%1-k3/frame_0002.png"),
              QStringLiteral("worlds/courtyard.world.velmora-tmp-%1-0"),
              QStringLiteral("worlds/.courtyard.world.%1-0.tmp"), QStringLiteral("../.test.project.velmora-tmp-%1-0"),
              QStringLiteral(".budget.2019-04.tmp"), QStringLiteral(".report.2023-11.tmp"),
              QStringLiteral("shots/.frame_123-x/frame_0001.png"), QStringLiteral("shots/.frame_123-x/frame_0002.png"),
              QStringLiteral("rock/.impostor.velmora-run-%1-9"),
              QStringLiteral("rock/.rock_alb.tga.velmora-keep-%1-10")})
            QVERIFY2(QFileInfo::exists(data + kept.arg(pid)), qPrintable(kept.arg(pid)));
        QVERIFY(QFileInfo(data + QStringLiteral("worlds/.linked.world.velmora-tmp-%1-2").arg(pid)).isSymLink());
        for (const qint64 live : {running_->processId(), qint64(::getpid())}) {
            for (const char *name : {"worlds/.courtyard.world.velmora-tmp-%1-0", "tree/.tree_sh.tga.velmora-keep-%1-0",
                                     "tree/.impostor.velmora-run-%1-1"})
                QVERIFY(QFileInfo::exists(data + QString::fromLatin1(name).arg(live)));
        }
        QVERIFY(QFileInfo::exists(data + QStringLiteral("worlds/courtyard.world")));
        // An editor in a container of its own, whose process id no process
        // has here, still runs: what it made stays as it is.
        if (container_) {
            for (const char *name : {"worlds/.courtyard.world.velmora-tmp-%1-0", "lamp/.impostor.velmora-run-%1-1",
                                     "lamp/.c.tga.velmora-keep-%1-2"})
                QVERIFY2(QFileInfo::exists(data + QString::fromLatin1(name).arg(contained_)), name);
            container_->kill();
            container_->waitForFinished();
        }
        running_->kill();
        running_->waitForFinished();

        // The run killed half way has its earlier textures whole again, and
        // the user is told once; the finished one keeps what it made.
        QCOMPARE(contents(data + QStringLiteral("lamp/lamp_alb.tga")), QByteArray("earlier albedo"));
        QCOMPARE(contents(data + QStringLiteral("lamp/lamp_sh.tga")), QByteArray("earlier shading"));
        QCOMPARE(contents(data + QStringLiteral("lamp/lamp_ao.tga")), QByteArray("earlier ao"));
        QCOMPARE(contents(data + QStringLiteral("tree/tree_alb.tga")), QByteArray("new albedo"));
        // The undo killed half way: the impostor as it was before it, all of
        // it.
        QCOMPARE(contents(data + QStringLiteral("bush/bush_alb.tga")), QByteArray("new albedo"));
        QCOMPARE(contents(data + QStringLiteral("bush/bush_sh.tga")), QByteArray("new shading"));
        QCOMPARE(contents(data + QStringLiteral("bush/bush.mat")), QByteArray("new material"));
        const QString log = test::capturedLog();
        QCOMPARE(log.count(QStringLiteral("which have their earlier contents again")), 1);
        const QRegularExpression told("earlier contents again: ([^\n]*)\n");
        QStringList put_back = told.match(log).captured(1).split(QStringLiteral(", "));
        put_back.sort();
        QCOMPARE(put_back,
                 (QStringList{QStringLiteral("bush/bush.mat"), QStringLiteral("bush/bush_alb.tga"),
                              QStringLiteral("lamp/lamp_alb.tga"), QStringLiteral("post/post_alb.tga")}));
        // What the user changed after the kill stays, both versions are
        // there, and the console names them.
        QCOMPARE(contents(data + QStringLiteral("post/post.mat")), QByteArray("edited by the user"));
        QCOMPARE(contents(data + QStringLiteral("post/post_sh.tga")), QByteArray("replaced by the user"));
        QCOMPARE(contents(data + QStringLiteral("post/post_alb.tga")), QByteArray("earlier albedo"));
        const QString kept = QStringLiteral("post/.post.mat.velmora-keep-%1-17").arg(dead_);
        QCOMPARE(contents(data + kept), QByteArray("earlier material"));
        QVERIFY(QFileInfo::exists(data + QStringLiteral("post/.impostor.velmora-run-%1-20").arg(dead_)));
        const QString changed
                = QRegularExpression("which were changed since; [^:]*: ([^\n]*)\n").match(log).captured(1);
        QVERIFY2(changed.contains(QStringLiteral("post/post.mat (earlier contents: %1)").arg(kept)), qPrintable(log));
        QVERIFY2(changed.contains(
                         QStringLiteral("post/post_sh.tga (earlier contents: post/.post_sh.tga.velmora-keep-%1-19)")
                                 .arg(dead_)),
                 qPrintable(changed));
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("post/post_ao.tga"))
                && !QFileInfo::exists(data + QStringLiteral("tree/fern.tga")));
        QVERIFY2(changed.contains(QStringLiteral("tree/fern.tga (earlier contents: tree/.fern.tga.velmora-keep-%1-22)")
                                          .arg(dead_)),
                 qPrintable(changed));
        QVERIFY2(changed.contains(
                         QStringLiteral("post/post_ao.tga (earlier contents: post/.post_ao.tga.velmora-keep-%1-21)")
                                 .arg(dead_)),
                 qPrintable(changed));
    }

private:
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    qint64 dead_ = 0;
    std::unique_ptr<QProcess> running_;
    std::unique_ptr<QProcess> container_;
    qint64 contained_ = 0;
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(
            argc, argv,
            {
                    {"registries_and_arguments", [] { return std::make_unique<RegistriesAndArguments>(); }},
                    {"engine_failure", [] { return std::make_unique<EngineFailure>(); }},
                    {"components_active", [] { return std::make_unique<ComponentsActive>(); }},
                    {"leftovers", [] { return std::make_unique<Leftovers>(); }},
            });
}

#include "tst_startup.moc"
