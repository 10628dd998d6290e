#include "editor/texture_profiler/model/textures_filter_proxy_model.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"
#include "window_system.h"

#include <editor_core/EditorSettings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

class tst_TextureProfilerSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { test::isolateSettings(); }
    void texture_profiler_view_survives_a_restart();
    void texture_profiler_keeps_its_view_without_usable_saved_settings();
};

void tst_TextureProfilerSettings::texture_profiler_view_survives_a_restart()
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
    QCOMPARE(window.displayCoreAssets(), false);
    QCOMPARE(window.proxy()->displayCoreAssets(), false);
    QCOMPARE(window.locationComboBox()->currentIndex(), 1);
    QCOMPARE(window.location(), int(tprof::Window::LOCATION_FROM_VIEWPORT));
    QCOMPARE(window.size(), QSize(333, 222));
    QCOMPARE(window.objectName(), QStringLiteral("TextureProfiler"));
}

void tst_TextureProfilerSettings::texture_profiler_keeps_its_view_without_usable_saved_settings()
{
    EditorSettings settings;
    const EditorSettings::TextureProfilerSection section = settings.textureProfiler();
    section.display_core_assets.file->remove(section.display_core_assets.key);
    section.location.file->set(section.location.key, 5);
    tprof::Window window(nullptr);
    window.setLocation(tprof::Window::LOCATION_FROM_VIEWPORT);
    window.displayCoreAssetsCheckBox()->setChecked(false);
    window.restoreSettings(&settings);
    // A missing flag keeps the current one; a location that does not exist
    // is ignored.
    QCOMPARE(window.displayCoreAssets(), false);
    QCOMPARE(window.displayCoreAssetsCheckBox()->isChecked(), false);
    QCOMPARE(window.location(), int(tprof::Window::LOCATION_FROM_VIEWPORT));
    QCOMPARE(window.locationComboBox()->currentIndex(), 1);
}

QTEST_MAIN(tst_TextureProfilerSettings)
#include "tst_texture_profiler_settings.moc"
