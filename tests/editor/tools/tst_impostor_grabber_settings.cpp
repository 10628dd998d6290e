#include "editor/tools/impostor_grabber_window.h"
#include "window_system.h"

#include <editor_core/EditorSettings.h>

#include <QComboBox>
#include <QSpinBox>
#include <QTest>

class tst_ImpostorGrabberSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { test::isolateSettings(); }
    void impostor_form_survives_a_restart();
};

void tst_ImpostorGrabberSettings::impostor_form_survives_a_restart()
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

QTEST_MAIN(tst_ImpostorGrabberSettings)
#include "tst_impostor_grabber_settings.moc"
