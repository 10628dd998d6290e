#include "scenario_runner.h"
#include "window_system.h"

#include "editor/console/console_widget.h"
#include "editor/presenter/presenter.h"

#include <editor_core/UpdateLock.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/base/Timer.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/BakeLighting.h>
#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/Log.h>
#include <velmora/World.h>

#include <QTest>

namespace {

// Lets the event loop turn for a while without waiting for frames.
void spin(int passes)
{
    for (int i = 0; i < passes; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// ---- update_lock ------------------------------------------------------------

class UpdateLockScenario : public test::Scenario
{
    Q_OBJECT

private slots:
    void held_lock_freezes_frames_but_keeps_the_timer()
    {
        QVERIFY(test::waitFrames(2));
        UpdateLock::claimUpdateLock();
        const int frame = Velmora::Game::getFrame();
        Velmora::Log::message("queued while locked\n");
        spin(50);
        QCOMPARE(Velmora::Game::getFrame(), frame);
        QVERIFY(depr::gui.console->pendingCount() > 0);
        QVERIFY(test::presenter()->updateTimer()->isActive());

        UpdateLock::disclaimUpdateLock();
        QVERIFY(test::waitFrames(2));
        QCOMPARE(depr::gui.console->pendingCount(), 0);
    }
};

// ---- background -------------------------------------------------------------

class BackgroundScenario : public test::Scenario
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        test::setApplicationState(Qt::ApplicationActive);
        UpdateLock::reset();
        Velmora::BakeLighting::setBaking(false);
    }

    void inactive_application_stops_the_frames_and_coming_back_restarts_them()
    {
        QVERIFY(test::waitFrames(2));
        test::setApplicationState(Qt::ApplicationInactive);
        QTRY_VERIFY(!test::presenter()->updateTimer()->isActive());
        const int frame = Velmora::Game::getFrame();
        spin(50);
        QCOMPARE(Velmora::Game::getFrame(), frame);

        test::setApplicationState(Qt::ApplicationActive);
        test::setApplicationState(Qt::ApplicationActive);
        QVERIFY(test::presenter()->updateTimer()->isActive());
        QVERIFY(test::waitFrames(3));
    }

    void always_update_claim_or_baking_keeps_frames_running_in_the_background_data()
    {
        QTest::addColumn<bool>("always_update");
        QTest::newRow("always update claimed") << true;
        QTest::newRow("lighting is baked") << false;
    }

    void always_update_claim_or_baking_keeps_frames_running_in_the_background()
    {
        QFETCH(bool, always_update);
        if (always_update)
            UpdateLock::claimAlwaysUpdate();
        else
            Velmora::BakeLighting::setBaking(true);
        test::setApplicationState(Qt::ApplicationInactive);
        QVERIFY(test::waitFrames(5));
        QVERIFY(test::presenter()->updateTimer()->isActive());

        if (always_update)
            UpdateLock::disclaimAlwaysUpdate();
        else
            Velmora::BakeLighting::setBaking(false);
        QTRY_VERIFY(!test::presenter()->updateTimer()->isActive());
    }
};

// ---- title ------------------------------------------------------------------

class TitleScenario : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &) override
    {
        project.world(QStringLiteral("levels/forest/main.world"), QStringLiteral("{a301}"), {"tree", "rock"});
        project.asset(QStringLiteral("scripts/notes.txt"), "notes\n", QStringLiteral("{a302}"));
    }

private slots:
    void title_without_a_world_names_product_and_build()
    {
        const QString title = depr::gui.main_window->windowTitle();
        QVERIFY2(title.startsWith(QLatin1String("VelmoraEditor - 2.11.0.0")), qPrintable(title));
        QVERIFY(title.endsWith(QLatin1String(")")));
        QVERIFY(title.contains(QLatin1String(" (ver-2.11.0.0 | ")));
    }

    void loading_a_world_puts_its_path_in_front()
    {
        Velmora::Console::run("world_load \"levels/forest/main\"");
        QTRY_VERIFY(Velmora::World::isLoaded());
        QTRY_VERIFY2(depr::gui.main_window->windowTitle().startsWith(QLatin1String("levels/forest/main.world - ")),
                     qPrintable(depr::gui.main_window->windowTitle()));
    }

    void unsaved_changes_add_a_star()
    {
        depr::g.world_controls->setDirty(true);
        QTRY_VERIFY(depr::gui.main_window->windowTitle().startsWith(QLatin1String("levels/forest/main.world * - ")));
        depr::g.world_controls->setDirty(false);
        QTRY_VERIFY(depr::gui.main_window->windowTitle().startsWith(QLatin1String("levels/forest/main.world - ")));
    }

    void moving_an_asset_refreshes_the_title_only_for_a_world_data()
    {
        QTest::addColumn<QString>("guid");
        QTest::addColumn<bool>("refreshed");
        QTest::newRow("a text asset") << "{a302}" << false;
        QTest::newRow("the world asset") << "{a301}" << true;
    }

    void moving_an_asset_refreshes_the_title_only_for_a_world()
    {
        QFETCH(QString, guid);
        QFETCH(bool, refreshed);
        depr::gui.main_window->setWindowTitle(QStringLiteral("marker"));
        emit depr::g.asset_manager->moved(
                Velmora::UGUID(test::ProjectBuilder::expandGuids(guid).toLatin1().constData()));
        spin(5);
        QCOMPARE(depr::gui.main_window->windowTitle() != QStringLiteral("marker"), refreshed);
        test::presenter()->updateTitle(true);
    }

    void quitting_the_world_drops_its_path()
    {
        Velmora::Console::run("world_quit");
        QTRY_VERIFY(!Velmora::World::isLoaded());
        QTRY_VERIFY(depr::gui.main_window->windowTitle().startsWith(QLatin1String("VelmoraEditor - ")));
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"update_lock", [] { return std::make_unique<UpdateLockScenario>(); }},
                                      {"background", [] { return std::make_unique<BackgroundScenario>(); }},
                                      {"title", [] { return std::make_unique<TitleScenario>(); }},
                              });
}

#include "tst_frame_loop.moc"
