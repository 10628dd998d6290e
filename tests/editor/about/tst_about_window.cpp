#include "editor/about/about_window.h"

#include <velmora/Console.h>

#include <QTest>

class tst_AboutWindow : public QObject
{
    Q_OBJECT

private slots:
    void version_line_puts_the_revision_in_parentheses_data();
    void version_line_puts_the_revision_in_parentheses();
    void window_shows_the_engine_version_text();
    void every_show_brings_the_window_back_to_700_by_600();
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

QTEST_MAIN(tst_AboutWindow)
#include "tst_about_window.moc"
