#include "editor_core/CheckBox.h"
#include "editor_core/EditorSettings.h"
#include "editor_core/ElidedLabel.h"
#include "editor_core/SettingsWindow.h"
#include "editor_core/WidgetGui.h"
#include "editor_core/WidgetUtils.h"
#include "editor_core/utils/OverrideCursor.h"

#include <velmora/Gui.h>

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSettings>
#include <QTest>

class TestWidgets : public QObject
{
    Q_OBJECT

private slots:
    void elided_label_shortens_long_text_on_the_chosen_side_data();
    void elided_label_shortens_long_text_on_the_chosen_side();
    void override_cursor_lasts_for_its_scope_and_nests();
    void override_cursor_restored_early_is_not_restored_twice();
    void window_is_centred_on_the_reference_screen_data();
    void window_is_centred_on_the_reference_screen();
    void settings_window_reads_and_writes_the_precompile_setting_data();
    void settings_window_reads_and_writes_the_precompile_setting();
    void widget_gui_keeps_its_engine_surface_at_its_size_and_tracks_focus();
};

void TestWidgets::elided_label_shortens_long_text_on_the_chosen_side_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("kept");
    const QString text = "/very/long/path/to/the/data/folder/materials/metal.mat";
    QTest::newRow("right") << int(Qt::ElideRight) << text.left(6);
    QTest::newRow("left") << int(Qt::ElideLeft) << text.right(6);
}

void TestWidgets::elided_label_shortens_long_text_on_the_chosen_side()
{
    QFETCH(int, mode);
    QFETCH(QString, kept);
    ElidedLabel label("/very/long/path/to/the/data/folder/materials/metal.mat");
    label.setElideMode(Qt::TextElideMode(mode));
    label.resize(120, 30);

    const QString shown = label.elidedText();
    QVERIFY(shown.size() < label.text().size());
    QVERIFY(shown.contains(QChar(0x2026)));
    QVERIFY(mode == Qt::ElideRight ? shown.startsWith(kept) : shown.endsWith(kept));
    QVERIFY(label.fontMetrics().horizontalAdvance(shown) <= label.contentsRect().width());
    // It never asks for the width of its whole text.
    QVERIFY(label.minimumSizeHint().width() < label.fontMetrics().horizontalAdvance(label.text()));
}

void TestWidgets::override_cursor_lasts_for_its_scope_and_nests()
{
    QVERIFY(!QGuiApplication::overrideCursor());
    {
        utils::OverrideCursor wait;
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            utils::OverrideCursor busy(Qt::BusyCursor);
            QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
        }
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    QVERIFY(!QGuiApplication::overrideCursor());
}

void TestWidgets::override_cursor_restored_early_is_not_restored_twice()
{
    utils::OverrideCursor outer(Qt::CrossCursor);
    {
        utils::OverrideCursor inner;
        inner.restore();
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    }
    // The inner destructor must not have popped the outer cursor.
    QVERIFY(QGuiApplication::overrideCursor());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
}

void TestWidgets::window_is_centred_on_the_reference_screen_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("with_reference");
    QTest::newRow("dialog, shown reference") << QSize(600, 400) << true;
    QTest::newRow("small window, no reference") << QSize(200, 100) << false;
    QTest::newRow("odd size") << QSize(301, 155) << true;
}

void TestWidgets::window_is_centred_on_the_reference_screen()
{
    QFETCH(QSize, size);
    QFETCH(bool, with_reference);
    QWidget reference;
    reference.setGeometry(10, 10, 100, 80);
    if (with_reference) {
        reference.show();
        QVERIFY(QTest::qWaitForWindowExposed(&reference));
    }
    QWidget window;
    window.resize(size);
    moveToScreenCenter(with_reference ? &reference : nullptr, &window);

    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(window.pos(),
             QPoint(available.x() + (available.width() - size.width()) / 2,
                    available.y() + (available.height() - size.height()) / 2));
}

void TestWidgets::settings_window_reads_and_writes_the_precompile_setting_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("shown");
    QTest::newRow("absent: default on") << QVariant() << true;
    QTest::newRow("stored off") << QVariant(false) << false;
    QTest::newRow("stored on") << QVariant(true) << true;
}

void TestWidgets::settings_window_reads_and_writes_the_precompile_setting()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, shown);
    const QString key = "editor/precompile_all_shaders";
    {
        EditorSettings settings;
        if (stored.isValid())
            settings.file()->set(key, stored);
        else
            settings.file()->remove(key);
    }

    EditorSettings settings;
    SettingsWindow window;
    window.init(&settings);
    CheckBox *box = window.precompileCheckBox();
    QVERIFY(box->isEnabled());
    QCOMPARE(box->isChecked(), shown);

    // A user click is written at once, to the file itself.
    box->click();
    QCOMPARE(QSettings(settings.fileName(), QSettings::IniFormat).value(key).toBool(), !shown);

    window.shutdown(&settings);
    QVERIFY(!box->isEnabled());
    QCOMPARE(settings.file()->getBool(key, shown), !shown);
}

void TestWidgets::widget_gui_keeps_its_engine_surface_at_its_size_and_tracks_focus()
{
    QWidget top;
    auto *other = new QWidget(&top);
    other->setFocusPolicy(Qt::StrongFocus);
    auto *widget = new WidgetGui(&top);
    top.resize(300, 200);
    widget->setGeometry(0, 0, 240, 160);
    top.show();
    QVERIFY(QTest::qWaitForWindowActive(&top));
    QVERIFY(widget->gui());
    QCOMPARE(widget->gui()->getWidth(), 240);
    QCOMPARE(widget->gui()->getHeight(), 160);

    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QVERIFY(widget->hasGuiFocus());
    QCOMPARE(widget->getMouseButtons(), int(Qt::LeftButton));
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QCOMPARE(widget->getMouseButtons(), 0);

    other->setFocus();
    QVERIFY(!widget->hasGuiFocus());
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
