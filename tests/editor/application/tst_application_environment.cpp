#include "editor/application/application_environment.h"
#include "editor/application/process_arguments.h"

#include <QLocale>
#include <QSet>
#include <QTest>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

class tst_ApplicationEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void high_dpi_scaling_is_off_when_a_scaling_variable_is_set_data();
    void high_dpi_scaling_is_off_when_a_scaling_variable_is_set();
    void main_window_takes_three_quarters_truncated_data();
    void main_window_takes_three_quarters_truncated();
    void argument_copies_keep_utf8_bytes_and_end_with_null();
    void decimals_use_a_point_in_a_comma_locale();
};

void tst_ApplicationEnvironment::high_dpi_scaling_is_off_when_a_scaling_variable_is_set_data()
{
    QTest::addColumn<QStringList>("set_variables");
    QTest::addColumn<bool>("scaling");

    QTest::newRow("none set") << QStringList() << true;
    QTest::newRow("device pixel ratio") << QStringList{"QT_DEVICE_PIXEL_RATIO"} << false;
    QTest::newRow("auto screen scale factor") << QStringList{"QT_AUTO_SCREEN_SCALE_FACTOR"} << false;
    QTest::newRow("scale factor") << QStringList{"QT_SCALE_FACTOR"} << false;
    QTest::newRow("screen scale factors") << QStringList{"QT_SCREEN_SCALE_FACTORS"} << false;
    QTest::newRow("an unrelated variable") << QStringList{"QT_QPA_PLATFORM"} << true;
    QTest::newRow("all four") << QStringList{"QT_DEVICE_PIXEL_RATIO", "QT_AUTO_SCREEN_SCALE_FACTOR", "QT_SCALE_FACTOR",
                                             "QT_SCREEN_SCALE_FACTORS"}
                              << false;
}

void tst_ApplicationEnvironment::high_dpi_scaling_is_off_when_a_scaling_variable_is_set()
{
    QFETCH(QStringList, set_variables);
    QFETCH(bool, scaling);
    const QSet<QString> set(set_variables.begin(), set_variables.end());
    QCOMPARE(Editor::wantsHighDpiScaling([&set](const char *name) { return set.contains(QString::fromLatin1(name)); }),
             scaling);
}

void tst_ApplicationEnvironment::main_window_takes_three_quarters_truncated_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QSize>("size");

    QTest::newRow("full hd work area") << QRect(0, 0, 1920, 1040) << QSize(1440, 780);
    QTest::newRow("odd sizes truncate") << QRect(0, 0, 1366, 728) << QSize(1024, 546);
    QTest::newRow("offscreen screen") << QRect(0, 0, 800, 600) << QSize(600, 450);
    QTest::newRow("offset work area") << QRect(100, 30, 1001, 3) << QSize(750, 2);
}

void tst_ApplicationEnvironment::main_window_takes_three_quarters_truncated()
{
    QFETCH(QRect, available);
    QFETCH(QSize, size);
    QCOMPARE(Editor::mainWindowSize(available), size);
}

void tst_ApplicationEnvironment::argument_copies_keep_utf8_bytes_and_end_with_null()
{
    QByteArray program("editor_x64");
    QByteArray world("w\xc3\xb6rld"); // "wörld" in UTF-8
    QByteArray empty;
    char *argv[] = {program.data(), world.data(), empty.data()};

    auto arguments = std::make_unique<Editor::ProcessArguments>(3, argv);
    world[0] = 'x'; // the copies do not follow the process's strings
    char **copies = arguments->argv();
    QCOMPARE(arguments->argc(), 3);
    QCOMPARE(QByteArray(copies[0]), program);
    QCOMPARE(QByteArray(copies[1]), QByteArray("w\xc3\xb6rld"));
    QCOMPARE(QByteArray(copies[2]), QByteArray());
    QCOMPARE(copies[3], nullptr);

    // An application takes out its own options by moving the pointers and
    // lowering the count; every string is still freed exactly once (the
    // sanitizer run checks both).
    std::swap(copies[0], copies[2]);
    copies[2] = nullptr;
    arguments->argc() = 1;
    arguments.reset();
}

void tst_ApplicationEnvironment::decimals_use_a_point_in_a_comma_locale()
{
    // A user whose locale writes 1,5 (the application object takes it).
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE"))
        QSKIP("No locale with a decimal comma is installed.");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f", 1.5);
    QCOMPARE(QByteArray(text), QByteArray("1,5"));

    Editor::useCNumericLocale();

    std::snprintf(text, sizeof(text), "%.1f", 1.5);
    QCOMPARE(QByteArray(text), QByteArray("1.5"));
    QCOMPARE(std::strtod("2.25", nullptr), 2.25);
    QCOMPARE(QLocale().toString(1.5), QStringLiteral("1.5"));
    bool ok = false;
    QCOMPARE(QLocale().toDouble(QStringLiteral("2.25"), &ok), 2.25);
    QVERIFY(ok);
}

QTEST_GUILESS_MAIN(tst_ApplicationEnvironment)
#include "tst_application_environment.moc"
