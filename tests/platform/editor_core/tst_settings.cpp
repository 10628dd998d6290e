#include <editor_core/EditorSettings.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <functional>

namespace {

// A form with one child of every kind that saveForm stores.
struct Form
{
    QWidget root;
    QCheckBox *check = new QCheckBox(&root);
    QRadioButton *radio = new QRadioButton(&root);
    QLineEdit *line = new QLineEdit(&root);
    QComboBox *combo = new QComboBox(&root);
    QSpinBox *spin = new QSpinBox(&root);
    QDoubleSpinBox *dspin = new QDoubleSpinBox(&root);
    QPlainTextEdit *text = new QPlainTextEdit(&root);
    QLineEdit *unnamed = new QLineEdit(&root);

    Form()
    {
        check->setObjectName(QStringLiteral("use_ssao"));
        radio->setObjectName(QStringLiteral("mode_grass"));
        line->setObjectName(QStringLiteral("output_name"));
        combo->setObjectName(QStringLiteral("resolution"));
        combo->addItems({QStringLiteral("256"), QStringLiteral("512"), QStringLiteral("1024")});
        spin->setObjectName(QStringLiteral("frames"));
        spin->setRange(0, 1000);
        dspin->setObjectName(QStringLiteral("scale"));
        dspin->setRange(0, 100);
        dspin->setDecimals(3);
        text->setObjectName(QStringLiteral("notes"));
    }
};

QString configFile()
{
    return QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Velmora/Editor.conf");
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { QFile::remove(configFile()); }

    void the_settings_live_in_one_ini_file_under_the_user_config_folder()
    {
        QVERIFY(!qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"));
        EditorSettings settings;
        QCOMPARE(settings.fileName(), configFile());
        settings.file()->set(QStringLiteral("windows/show_help_at_startup"), false);
        // set() writes through at once: the file holds the value before the object goes.
        QFile file(configFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        QVERIFY(content.contains("[windows]"));
        QVERIFY(content.contains("show_help_at_startup=false"));
    }

    void section_entries_use_the_documented_keys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("which");
        QTest::newRow("console history") << "console/history" << 0;
        QTest::newRow("precompile") << "editor/precompile_all_shaders" << 1;
        QTest::newRow("geometry") << "windows/geometry" << 2;
        QTest::newRow("layout") << "windows/layout" << 3;
        QTest::newRow("help at startup") << "windows/show_help_at_startup" << 4;
        QTest::newRow("profiler geometry") << "textureProfiler/geometry" << 5;
        QTest::newRow("profiler location") << "textureProfiler/location" << 6;
        QTest::newRow("profiler core assets") << "textureProfiler/display_core_assets" << 7;
        QTest::newRow("browser state") << "asset_browser/state" << 8;
    }
    void section_entries_use_the_documented_keys()
    {
        QFETCH(QString, key);
        QFETCH(int, which);
        EditorSettings settings;
        const ConfigEntry entries[] = {
                settings.console().history,
                settings.editor().precompile_all_shaders,
                settings.windows().geometry,
                settings.windows().layout,
                settings.windows().show_help_at_startup,
                settings.textureProfiler().geometry,
                settings.textureProfiler().location,
                settings.textureProfiler().display_core_assets,
                settings.assetBrowser().state,
        };
        QCOMPARE(entries[which].key, key);
        QCOMPARE(entries[which].file, settings.file());
    }

    void defaults_apply_while_nothing_is_stored()
    {
        EditorSettings settings;
        ConfigFile *file = settings.file();
        const auto windows = settings.windows();
        QVERIFY(!windows.geometry.exists());
        QVERIFY(windows.geometry.getBytes().isEmpty());
        QCOMPARE(windows.geometry.getBytes("fallback"), QByteArray("fallback"));
        QCOMPARE(ConfigEntry::getBytes(windows.layout, "x"), QByteArray("x"));
        QCOMPARE(file->getBool(windows.show_help_at_startup.key, EditorSettings::DEFAULT_SHOW_HELP_AT_STARTUP), true);
        QCOMPARE(file->getBool(settings.editor().precompile_all_shaders.key,
                               EditorSettings::DEFAULT_PRECOMPILE_ALL_SHADERS),
                 true);
        QCOMPARE(file->getInt(settings.textureProfiler().location.key,
                              EditorSettings::DEFAULT_TEXTURE_PROFILER_LOCATION),
                 0);
        QCOMPARE(file->getString(settings.console().history.key), QString());
        QVERIFY(!file->getVariant(windows.layout.key).isValid());
    }

    void values_survive_a_restart_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("getter");
        QTest::newRow("bytes with zeros") << QVariant(QByteArray("\x01\x00\xff geometry", 12)) << 0;
        QTest::newRow("multi-line text") << QVariant(QStringLiteral("world_load \"a b\"\necho =;[x]\n")) << 1;
        QTest::newRow("false") << QVariant(false) << 2;
        QTest::newRow("true") << QVariant(true) << 2;
        QTest::newRow("negative int") << QVariant(-42) << 3;
    }
    void values_survive_a_restart()
    {
        QFETCH(QVariant, value);
        QFETCH(int, getter);
        const QString key = QStringLiteral("section/value");
        {
            EditorSettings settings;
            settings.file()->set(key, value);
        }
        EditorSettings settings;
        ConfigFile *file = settings.file();
        QVERIFY(file->exists(key));
        switch (getter) {
        case 0:
            QCOMPARE(file->getBytes(key), value.toByteArray());
            break;
        case 1:
            QCOMPARE(file->getString(key), value.toString());
            break;
        case 2:
            QCOMPARE(file->getBool(key, !value.toBool()), value.toBool());
            break;
        default:
            QCOMPARE(file->getInt(key, 7), value.toInt());
        }
    }

    void unreadable_values_give_the_default()
    {
        EditorSettings settings;
        ConfigFile *file = settings.file();
        file->set(QStringLiteral("a/flag"), QStringLiteral("maybe"));
        file->set(QStringLiteral("a/number"), QStringLiteral("12abc"));
        QCOMPARE(file->getBool(QStringLiteral("a/flag"), true), true);
        QCOMPARE(file->getBool(QStringLiteral("a/flag"), false), false);
        QCOMPARE(file->getInt(QStringLiteral("a/number"), 5), 5);
    }

    void a_form_round_trips_through_the_settings()
    {
        {
            Form form;
            form.check->setChecked(true);
            form.radio->setChecked(true);
            form.line->setText(QStringLiteral("impostor_öäü"));
            form.combo->setCurrentIndex(2);
            form.spin->setValue(321);
            form.dspin->setValue(2.125);
            form.text->setPlainText(QStringLiteral("two\nlines"));
            form.unnamed->setText(QStringLiteral("not stored"));
            EditorSettings settings;
            settings.saveForm(QStringLiteral("tools/impostor_creator"), &form.root);
        }
        EditorSettings settings;
        QVERIFY(settings.file()->exists(QStringLiteral("tools/impostor_creator/frames")));
        Form form;
        QSignalSpy spin_changed(form.spin, qOverload<int>(&QSpinBox::valueChanged));
        QSignalSpy combo_changed(form.combo, qOverload<int>(&QComboBox::currentIndexChanged));
        settings.restoreForm(QStringLiteral("tools/impostor_creator"), &form.root);

        QCOMPARE(form.check->isChecked(), true);
        QCOMPARE(form.radio->isChecked(), true);
        QCOMPARE(form.line->text(), QStringLiteral("impostor_öäü"));
        QCOMPARE(form.combo->currentIndex(), 2);
        QCOMPARE(form.spin->value(), 321);
        QCOMPARE(form.dspin->value(), 2.125);
        QCOMPARE(form.text->toPlainText(), QStringLiteral("two\nlines"));
        QCOMPARE(form.unnamed->text(), QString());
        // Restoring acts like a user edit.
        QCOMPARE(spin_changed.count(), 1);
        QCOMPARE(combo_changed.count(), 1);
    }

    void restoring_a_form_leaves_widgets_without_stored_values_alone()
    {
        EditorSettings settings;
        settings.file()->set(QStringLiteral("form/resolution"), 9);
        settings.file()->set(QStringLiteral("form/frames"), QStringLiteral("many"));
        Form form;
        form.combo->setCurrentIndex(1);
        form.spin->setValue(12);
        form.line->setText(QStringLiteral("kept"));
        settings.restoreForm(QStringLiteral("form"), &form.root);
        QCOMPARE(form.combo->currentIndex(), 1);
        QCOMPARE(form.spin->value(), 12);
        QCOMPARE(form.line->text(), QStringLiteral("kept"));
        // A null widget is refused without harm.
        settings.restoreForm(QStringLiteral("form"), nullptr);
        settings.saveForm(QStringLiteral("form"), nullptr);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
