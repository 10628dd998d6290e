#include "editor/about/about_window.h"
#include "editor/show_assets_dependencies/show_dependencies.h"
#include "editor/texture_profiler/ui/window.h"
#include "editor/tools/impostor_grabber_window.h"
#include "editor/video_grabber/video_grabber_state.h"
#include "project_builder.h"
#include "window_system.h"

#include <editor_core/EditorSettings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTest>

class tst_ToolWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void impostor_form_survives_a_restart();
    void texture_profiler_view_survives_a_restart();
    void texture_profiler_defaults_without_saved_settings();
    void video_grabber_state_starts_with_its_defaults();
    void dependency_viewer_refuses_an_empty_list();
    void about_version_puts_the_revision_in_parentheses_data();
    void about_version_puts_the_revision_in_parentheses();
    void fixture_shorthand_expands_to_usable_guids();
};

void tst_ToolWindows::initTestCase()
{
    test::isolateSettings();
}

void tst_ToolWindows::impostor_form_survives_a_restart()
{
    {
        EditorSettings settings;
        ImpostorGrabberWindow window;
        window.restoreSettings(&settings);
        QCOMPARE(window.viewsSpinBox()->value(), 8);
        window.viewsSpinBox()->setValue(23);
        window.resolutionComboBox()->setCurrentIndex(0);
        window.saveSettings(&settings);
    }
    EditorSettings settings;
    ImpostorGrabberWindow window;
    window.restoreSettings(&settings);
    QCOMPARE(window.viewsSpinBox()->value(), 23);
    QCOMPARE(window.resolutionComboBox()->currentIndex(), 0);
}

void tst_ToolWindows::texture_profiler_view_survives_a_restart()
{
    {
        EditorSettings settings;
        tprof::Window window(nullptr);
        window.restoreSettings(&settings);
        window.displayCoreAssetsCheckBox()->setChecked(false);
        window.locationComboBox()->setCurrentIndex(1);
        window.resize(333, 222);
        window.saveSettings(&settings);
    }
    EditorSettings settings;
    tprof::Window window(nullptr);
    window.restoreSettings(&settings);
    QCOMPARE(window.displayCoreAssetsCheckBox()->isChecked(), false);
    QCOMPARE(window.locationComboBox()->currentIndex(), 1);
    QCOMPARE(window.size(), QSize(333, 222));
    QCOMPARE(window.objectName(), QStringLiteral("TextureProfiler"));
}

void tst_ToolWindows::texture_profiler_defaults_without_saved_settings()
{
    EditorSettings settings;
    const EditorSettings::TextureProfilerSection section = settings.textureProfiler();
    section.display_core_assets.file->remove(section.display_core_assets.key);
    section.location.file->set(section.location.key, 99);
    tprof::Window window(nullptr);
    window.displayCoreAssetsCheckBox()->setChecked(false);
    window.restoreSettings(&settings);
    QCOMPARE(window.displayCoreAssetsCheckBox()->isChecked(), true);
    QCOMPARE(window.locationComboBox()->currentIndex(), window.locationComboBox()->count() - 1);
}

void tst_ToolWindows::video_grabber_state_starts_with_its_defaults()
{
    VideoGrabberState state;
    QCOMPARE(state.getFps(), 30.0f);
    QCOMPARE(state.getCameraName(), QStringLiteral("Editor Camera"));
    QCOMPARE(state.getWidth(), 0);
    QCOMPARE(state.getState(), VideoGrabberState::IDLE);
    QCOMPARE(state.getMode(), VideoGrabberState::SINGLE_SHOT);
    QCOMPARE(state.getFormat(), VideoGrabberState::TGA);
    QVERIFY(state.getTrackGUID().isEmpty());
}

void tst_ToolWindows::dependency_viewer_refuses_an_empty_list()
{
    QVERIFY(!show_deps::showDependencies({}));
    QVERIFY(!show_deps::showDependents({}));
}

void tst_ToolWindows::about_version_puts_the_revision_in_parentheses_data()
{
    QTest::addColumn<QString>("engine_text");
    QTest::addColumn<QString>("line");
    QTest::newRow("version and revision") << "2.11.0.0 rev-abcdef1"
                                          << "Version: 2.11.0.0 (rev-abcdef1)";
    QTest::newRow("exactly eleven characters") << "rev-abcdef1"
                                               << "Version: (rev-abcdef1)";
    QTest::newRow("shorter text gets no opening parenthesis") << "short"
                                                              << "Version: short)";
    QTest::newRow("empty text") << QString() << "Version: )";
}

void tst_ToolWindows::about_version_puts_the_revision_in_parentheses()
{
    QFETCH(QString, engine_text);
    QFETCH(QString, line);
    QCOMPARE(AboutWindow::versionLine(engine_text), line);
}

void tst_ToolWindows::fixture_shorthand_expands_to_usable_guids()
{
    const QString text = test::ProjectBuilder::expandGuids(QStringLiteral("<a guid=\"{a101}\" b=\"guid://{f250}\"/>"));
    QCOMPARE(text,
             QStringLiteral("<a guid=\"aaaaa00000000000000000000000000000000101\" "
                            "b=\"guid://fffff00000000000000000000000000000000250\"/>"));
    QVERIFY(Velmora::UGUID::isUsableText("aaaaa00000000000000000000000000000000101"));
}

QTEST_MAIN(tst_ToolWindows)
#include "tst_tool_windows.moc"
