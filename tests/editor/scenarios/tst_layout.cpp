// The window layout and the console history across restarts: three scenario
// processes share one run folder (VELMORA_SCENARIO_ROOT) and so one settings
// file, in this order: leave_layout, get_layout_back, geometry_without_layout.

#include "scenario_runner.h"

#include "editor/console/console_widget.h"
#include "editor/presenter/presenter.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"

#include <editor_core/View.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <QDockWidget>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace {

const QSize LEFT_SIZE(720, 520);
const QSize DEFAULT_SIZE(600, 450); // three quarters of the 800 x 600 offscreen screen

bool dockShown(QWidget *widget)
{
    QDockWidget *dock = Editor::WindowManager::getDock(widget);
    return dock && !dock->isHidden();
}

QWidget *textureProfiler()
{
    return test::presenter()->textureProfiler();
}

class SavedSettingsChecks : public QObject
{
    Q_OBJECT

private slots:
    void geometry_and_layout_are_in_the_settings()
    {
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        QVERIFY(!settings.value(QStringLiteral("windows/geometry")).toByteArray().isEmpty());
        QVERIFY(!settings.value(QStringLiteral("windows/layout")).toByteArray().isEmpty());
    }
};

class LeaveLayout : public test::Scenario
{
    Q_OBJECT

public:
    QObject *postShutdownChecks() override { return &checks_; }

private slots:
    void first_start_takes_the_default_layout()
    {
        QCOMPARE(depr::gui.main_window->size(), DEFAULT_SIZE);
        QVERIFY(dockShown(depr::gui.nodes_window));
        QVERIFY(!dockShown(textureProfiler()));
    }

    void user_arranges_the_windows()
    {
        depr::gui.main_window->resize(LEFT_SIZE);
        Editor::WindowManager::hide(depr::gui.nodes_window);
        emit depr::g.window_manager->toggleTextureProfiler();
        QTRY_VERIFY(dockShown(textureProfiler()));
        QVERIFY(!dockShown(depr::gui.nodes_window));
        QVERIFY(test::waitFrames(2));
    }

    void user_runs_a_command()
    {
        QLineEdit *line = depr::gui.console->commandLine();
        line->setText(QStringLiteral("echo remembered"));
        QTest::keyClick(line, Qt::Key_Return);
        QTRY_VERIFY(line->text().isEmpty());
    }

private:
    SavedSettingsChecks checks_;
};

class GetLayoutBack : public test::Scenario
{
    Q_OBJECT

public:
    bool continuesEarlierRun() const override { return true; }

private slots:
    void windows_are_where_the_user_left_them()
    {
        QCOMPARE(depr::gui.main_window->size(), LEFT_SIZE);
        QVERIFY(!dockShown(depr::gui.nodes_window));
        QVERIFY(dockShown(textureProfiler()));
    }

    void up_brings_back_the_command_of_the_last_run()
    {
        QLineEdit *line = depr::gui.console->commandLine();
        QTest::keyClick(line, Qt::Key_Up);
        QCOMPARE(line->text(), QStringLiteral("echo remembered"));
        QTest::keyClick(line, Qt::Key_Down);
        QCOMPARE(line->text(), QString());
    }
};

class GeometryWithoutLayout : public test::Scenario
{
    Q_OBJECT

public:
    bool continuesEarlierRun() const override { return true; }
    void prepare(test::ProjectBuilder &, QStringList &) override
    {
        QSettings settings(test::settingsFilePath(), QSettings::IniFormat);
        settings.remove(QStringLiteral("windows/layout"));
    }

private slots:
    void saved_geometry_comes_back_with_the_default_layout()
    {
        QCOMPARE(depr::gui.main_window->size(), LEFT_SIZE);
        QVERIFY(dockShown(depr::gui.nodes_window));
        QVERIFY(!dockShown(textureProfiler()));
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(
            argc, argv,
            {
                    {"leave_layout", [] { return std::make_unique<LeaveLayout>(); }},
                    {"get_layout_back", [] { return std::make_unique<GetLayoutBack>(); }},
                    {"geometry_without_layout", [] { return std::make_unique<GeometryWithoutLayout>(); }},
            });
}

#include "tst_layout.moc"
