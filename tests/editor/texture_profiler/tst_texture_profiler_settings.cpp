#include "editor/texture_profiler/ui/window.h"
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
    void texture_profiler_defaults_without_saved_settings();
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
    QCOMPARE(window.locationComboBox()->currentIndex(), 1);
    QCOMPARE(window.size(), QSize(333, 222));
    QCOMPARE(window.objectName(), QStringLiteral("TextureProfiler"));
}

void tst_TextureProfilerSettings::texture_profiler_defaults_without_saved_settings()
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

QTEST_MAIN(tst_TextureProfilerSettings)
#include "tst_texture_profiler_settings.moc"
