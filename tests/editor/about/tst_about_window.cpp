#include "editor/about/about_window.h"

#include <velmora/Console.h>

#include <QMainWindow>
#include <QScreen>
#include <QTest>

class tst_AboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void version_line_puts_the_revision_in_parentheses_data();
    void version_line_puts_the_revision_in_parentheses();
    void window_shows_the_engine_version_text();
    void every_show_brings_the_window_back_to_700_by_600();
    void about_opens_over_the_editor_and_on_its_screen_data();
    void about_opens_over_the_editor_and_on_its_screen();
};

void tst_AboutWindow::version_line_puts_the_revision_in_parentheses_data()
{
    QTest::addColumn<QString>("engine_text");
    QTest::addColumn<QString>("line");
    QTest::newRow("version and revision") << "2.11.0.0 rev-abc1234"
                                          << "Version: 2.11.0.0 (rev-abc1234)";
    QTest::newRow("eleven letters") << "2.11.0.0 abcdefghijk"
                                    << "Version: 2.11.0.0 (abcdefghijk)";
    QTest::newRow("exactly eleven characters") << "abcdefghijk"
                                               << "Version: (abcdefghijk)";
    // Shorter texts get no opening parenthesis, one character short included.
    QTest::newRow("ten characters") << "abcdefghij"
                                    << "Version: abcdefghij)";
    QTest::newRow("short") << "short"
                           << "Version: short)";
    QTest::newRow("one character") << "x"
                                   << "Version: x)";
    QTest::newRow("empty") << ""
                           << "Version: )";
}

void tst_AboutWindow::version_line_puts_the_revision_in_parentheses()
{
    QFETCH(QString, engine_text);
    QFETCH(QString, line);
    QCOMPARE(AboutWindow::versionLine(engine_text), line);
}

void tst_AboutWindow::window_shows_the_engine_version_text()
{
    QVERIFY(Velmora::Console::addString("engine_version_info", "2.11.0.0 rev-1a2b3c4"));
    AboutWindow about;
    QCOMPARE(about.binaryInfo(), QStringLiteral("Version: 2.11.0.0 (rev-1a2b3c4)"));
    QVERIFY(about.isHidden());
    Velmora::Console::removeVariable("engine_version_info");
}

void tst_AboutWindow::every_show_brings_the_window_back_to_700_by_600()
{
    AboutWindow about;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QCOMPARE(about.size(), QSize(700, 600));

    about.resize(620, 480);
    QCOMPARE(about.size(), QSize(620, 480));
    about.hide();
    about.show();
    QCOMPARE(about.size(), QSize(700, 600));
}

void tst_AboutWindow::about_opens_over_the_editor_and_on_its_screen_data()
{
    // The offscreen screen is 800 x 600 and frames windows with 2 pixels on
    // each side: the About window's frame is 704 x 604, so it always starts
    // at the screen's top.
    QTest::addColumn<QRect>("editor");
    QTest::addColumn<QPoint>("about");
    QTest::newRow("centred over the editor") << QRect(100, 0, 600, 600) << QPoint(48, 0);
    QTest::newRow("editor off to the right") << QRect(500, 100, 400, 300) << QPoint(800 - 704, 0);
    QTest::newRow("editor in the top left corner") << QRect(0, 0, 200, 150) << QPoint(0, 0);
}

void tst_AboutWindow::about_opens_over_the_editor_and_on_its_screen()
{
    QFETCH(QRect, editor);
    QFETCH(QPoint, about);
    QMainWindow main;
    main.setGeometry(editor);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    auto window = new AboutWindow(&main);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->frameGeometry().topLeft(), about);

    // Moved away and shown again, it comes back over the editor.
    window->hide();
    window->move(10, 10);
    window->show();
    QCOMPARE(window->frameGeometry().topLeft(), about);
}

QTEST_MAIN(tst_AboutWindow)
#include "tst_about_window.moc"
