#include "asset_files.h"
#include "message_boxes.h"
#include "scenario_runner.h"
#include "window_system.h"

#include "editor/console/console_widget.h"
#include "editor/help/help_window.h"
#include "editor/presenter/presenter.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"
#include "editor/tools/impostor_grabber_window.h"

#include <editor_core/Constants.h>
#include <editor_core/CreateNodesAction.h>
#include <editor_core/MainMenu.h>
#include <editor_core/View.h>
#include <editor_core/WorldControls.h>
#include <editor_core/cs/Manager.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/Undo.h>
#include <editor_core/tbb/QJob.h>
#include <editor_core/tbb/Queue.h>

#include <velmora/Node.h>
#include <velmora/World.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPointer>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

// ---- job_queue_first ----------------------------------------------------------

// Runs until cancelled and notes whether the tools still existed when it
// stopped.
class LongJob : public tbb::QJob
{
public:
    void run(const tbb::JobPtr &) override
    {
        started = true;
        while (keep_running)
            QThread::msleep(2);
        tools_alive_at_end = depr::g.cs_manager != nullptr && depr::g.thumbnails != nullptr;
        setStatus(STATUS_CANCELLED);
    }
    void cancel() override { keep_running = false; }

    std::atomic<bool> started{false};
    std::atomic<bool> keep_running{true};
    std::atomic<bool> tools_alive_at_end{false};
};

std::shared_ptr<LongJob> g_job;
std::shared_ptr<LongJob> g_queued_job;
int g_done_deliveries = 0;

class JobQueueChecks : public QObject
{
    Q_OBJECT

private slots:
    void running_job_was_cancelled_and_joined_before_the_tools_went()
    {
        QVERIFY(g_job->started);
        QVERIFY(!g_job->keep_running);
        QVERIFY(g_job->tools_alive_at_end);
        QCOMPARE(int(g_job->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
    }

    void queued_job_never_ran_and_no_completion_arrived()
    {
        QVERIFY(!g_queued_job->started);
        QCOMPARE(int(g_queued_job->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
        QCoreApplication::processEvents();
        QCOMPARE(g_done_deliveries, 0);
    }
};

class JobQueueFirst : public test::Scenario
{
    Q_OBJECT

public:
    QObject *postShutdownChecks() override { return &checks_; }

private slots:
    void long_job_is_running_when_the_editor_quits()
    {
        g_job = std::make_shared<LongJob>();
        g_queued_job = std::make_shared<LongJob>();
        auto count = [](tbb::JobPtr) { ++g_done_deliveries; };
        QObject::connect(g_job.get(), &tbb::QJob::done, depr::gui.main_window, count);
        QObject::connect(g_queued_job.get(), &tbb::QJob::done, depr::gui.main_window, count);
        QVERIFY(tbb::Queue::instance()->enqueue(g_job));
        QVERIFY(tbb::Queue::instance()->enqueue(g_queued_job));
        QTRY_VERIFY(g_job->started);
    }

private:
    JobQueueChecks checks_;
};

// ---- persistence ----------------------------------------------------------------

class PersistenceChecks : public QObject
{
    Q_OBJECT

private slots:
    void settings_file_holds_what_the_windows_saved()
    {
        QVERIFY(QFileInfo::exists(test::settingsFilePath()));
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        const QStringList history = settings.value(QStringLiteral("console/history")).toString().split('\n');
        QVERIFY2(history.contains(QStringLiteral("echo remembered")), qPrintable(history.join('|')));
        QCOMPARE(settings.value(QStringLiteral("tools/impostor_creator/phi")).toInt(), 3);
        QCOMPARE(settings.value(QStringLiteral("textureProfiler/display_core_assets")).toBool(), false);
        QCOMPARE(settings.value(QStringLiteral("textureProfiler/location")).toInt(), 1);
    }

    void window_geometry_and_layout_were_saved()
    {
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        QVERIFY(!settings.value(QStringLiteral("windows/geometry")).toByteArray().isEmpty());
        QVERIFY(!settings.value(QStringLiteral("windows/layout")).toByteArray().isEmpty());
    }
};

class Persistence : public test::Scenario
{
    Q_OBJECT

public:
    QObject *postShutdownChecks() override { return &checks_; }

private slots:
    void user_changes_windows_and_runs_a_command()
    {
        QLineEdit *line = depr::gui.console->commandLine();
        line->setText(QStringLiteral("echo remembered"));
        emit line->returnPressed();
        QTRY_VERIFY(depr::gui.console->history().contains(QStringLiteral("echo remembered")));

        depr::gui.impostor_grabber->findChild<QComboBox *>(QStringLiteral("phi"))->setCurrentIndex(3);
        test::presenter()->textureProfiler()->displayCoreAssetsCheckBox()->setChecked(false);
        test::presenter()->textureProfiler()->locationComboBox()->setCurrentIndex(1);
    }

private:
    PersistenceChecks checks_;
};

// ---- restore_saved_settings ---------------------------------------------------

class RestoreSavedSettings : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &, QStringList &) override
    {
        QDir().mkpath(test::context().config_home + QLatin1String("/Velmora"));
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("console/history"), QStringLiteral("\nworld_load a\n\necho b"));
        settings.setValue(QStringLiteral("tools/impostor_creator/phi"), 4);
        settings.setValue(QStringLiteral("textureProfiler/location"), 1);
        settings.setValue(QStringLiteral("textureProfiler/display_core_assets"), false);
        settings.setValue(QStringLiteral("windows/show_help_at_startup"), false);
    }

private slots:
    void windows_start_with_the_saved_values()
    {
        QCOMPARE(depr::gui.console->history(), (QStringList{QString(), "world_load a", "echo b"}));
        QCOMPARE(depr::gui.impostor_grabber->findChild<QComboBox *>(QStringLiteral("phi"))->currentIndex(), 4);
        QCOMPARE(test::presenter()->textureProfiler()->locationComboBox()->currentIndex(), 1);
        QCOMPARE(test::presenter()->textureProfiler()->displayCoreAssetsCheckBox()->isChecked(), false);
        QVERIFY(!depr::gui.help->isVisible());
    }
};

// ---- unsaved_world ------------------------------------------------------------

QString worldFile()
{
    return test::context().data_path + QLatin1String("worlds/main.world");
}

class UnsavedWorld : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        project.world(QStringLiteral("worlds/main.world"), QStringLiteral("{a401}"), {"tree"});
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"worlds/main\"");
    }

private slots:
    void a_node_made_in_an_undo_step_leaves_unsaved_changes()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        Velmora::Ptr<Velmora::Node> node(Velmora::NodeDummy::create());
        node->setName("made_since_save");
        Editor::Undo::begin();
        Editor::Undo::apply(new CreateNodesAction({node}));
        QVERIFY(Editor::Undo::commit());
        QTRY_VERIFY(depr::gui.main_window->windowTitle().startsWith(QLatin1String("worlds/main.world * - ")));
    }

    void quitting_asks_and_cancel_keeps_the_editor_running()
    {
        test::MessageBoxes boxes;
        boxes.answer(QMessageBox::Cancel);
        boxes.answer(QMessageBox::Cancel);
        View *main = qobject_cast<View *>(depr::gui.main_window);
        QVERIFY(main);
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTest::keyClick(main, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(boxes.boxes().size(), 1);
        const test::MessageBoxes::Box box = boxes.boxes().first();
        QVERIFY2(box.text.contains(QLatin1String("worlds/main.world")), qPrintable(box.text));
        QCOMPARE(box.buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);

        // The window's close button asks the same.
        test::sendSpontaneousClose(main);
        QCOMPARE(boxes.boxes().size(), 2);
        QVERIFY(main->isVisible());
        QVERIFY(test::waitFrames(2));
        QVERIFY(test::presenter()->isStarted());
        QVERIFY(depr::g.world_controls->isDirty());
        QVERIFY(!test::readFile(worldFile()).contains("made_since_save"));
    }

    void save_writes_the_world_and_lets_the_window_close()
    {
        test::MessageBoxes boxes;
        boxes.answer(QMessageBox::Save);
        test::sendSpontaneousClose(depr::gui.main_window);
        QCOMPARE(boxes.boxes().size(), 1);
        QVERIFY(!depr::g.world_controls->isDirty());
        QVERIFY(test::readFile(worldFile()).contains("made_since_save"));
        QVERIFY(!depr::gui.main_window->isVisible());
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(
            argc, argv,
            {
                    {"job_queue_first", [] { return std::make_unique<JobQueueFirst>(); }},
                    {"persistence", [] { return std::make_unique<Persistence>(); }},
                    {"restore_saved_settings", [] { return std::make_unique<RestoreSavedSettings>(); }},
                    {"unsaved_world", [] { return std::make_unique<UnsavedWorld>(); }},
            });
}

#include "tst_shutdown.moc"
