#include "editor/console/console_widget.h"
#include "window_system.h"

#include <editor_core/EditorSettings.h>

#include <velmora/Console.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <QTextBlock>
#include <QThread>

#include <memory>

class tst_ConsoleWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void output_from_other_threads_waits_for_the_flush();
    void pieces_without_line_feed_continue_the_block();
    void kinds_have_their_colours_data();
    void kinds_have_their_colours();
    void repeated_command_is_stored_once();
    void clear_empties_the_view_and_drops_queued_text();
    void history_round_trip_keeps_slot_zero_and_fifty_commands();
    void loaded_history_drops_empty_pieces();
    void window_detaches_its_output_callback();

private:
    void runLine(ConsoleWidget &console, const QString &text);
};

void tst_ConsoleWidget::initTestCase()
{
    test::isolateSettings();
}

void tst_ConsoleWidget::runLine(ConsoleWidget &console, const QString &text)
{
    console.commandLine()->setText(text);
    emit console.commandLine()->returnPressed();
    QCoreApplication::processEvents(); // the command runs through a queued connection
}

void tst_ConsoleWidget::output_from_other_threads_waits_for_the_flush()
{
    ConsoleWidget console;
    const int threads = 4;
    const int per_thread = 50;
    std::vector<std::unique_ptr<QThread>> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back(QThread::create([t] {
            for (int i = 0; i < per_thread; ++i)
                Velmora::Log::message("thread %d line %d\n", t, i);
        }));
        workers.back()->start();
    }
    for (auto &worker : workers)
        QVERIFY(worker->wait(10000));

    QCOMPARE(console.pendingCount(), threads * per_thread);
    QCOMPARE(console.outputView()->toPlainText(), QString());

    console.flushOutput();
    QCOMPARE(console.pendingCount(), 0);
    const QString text = console.outputView()->toPlainText();
    for (int t = 0; t < threads; ++t)
        QVERIFY(text.contains(QStringLiteral("thread %1 line %2").arg(t).arg(per_thread - 1)));
    QCOMPARE(text.count(QLatin1Char('\n')), threads * per_thread - 1);
}

void tst_ConsoleWidget::pieces_without_line_feed_continue_the_block()
{
    ConsoleWidget console;
    console.onConsoleOutput("a", 0);
    console.onConsoleOutput("b\n", 1);
    console.onConsoleOutput("c\n", 0);
    console.onConsoleOutput("", 2);
    console.onConsoleOutput(nullptr, 2);
    console.flushOutput();

    QTextDocument *document = console.outputView()->document();
    QCOMPARE(document->blockCount(), 2);
    QCOMPARE(document->firstBlock().text(), QStringLiteral("ab"));
    QCOMPARE(document->firstBlock().userState(), 1);
    QCOMPARE(document->lastBlock().text(), QStringLiteral("c"));
}

void tst_ConsoleWidget::kinds_have_their_colours_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("colour");
    QTest::newRow("warning") << 1 << "#ffa000";
    QTest::newRow("error") << 2 << "#ff6c6c";
    QTest::newRow("message follows the palette") << 0 << QString();
    QTest::newRow("unknown kind follows the palette") << 7 << QString();
}

void tst_ConsoleWidget::kinds_have_their_colours()
{
    QFETCH(int, kind);
    QFETCH(QString, colour);
    ConsoleWidget console;
    QPalette palette = console.palette();
    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("#123456")));
    console.setPalette(palette);
    const QString expected = colour.isEmpty() ? QStringLiteral("#123456") : colour;

    console.onConsoleOutput("text\n", kind);
    console.flushOutput();

    QCOMPARE(console.colorForKind(kind).name(), expected);
    const QTextBlock block = console.outputView()->document()->firstBlock();
    QCOMPARE(block.begin().fragment().charFormat().foreground().color().name(), expected);
}

void tst_ConsoleWidget::repeated_command_is_stored_once()
{
    ConsoleWidget console;
    const int before = Velmora::Console::getCommandLog().size();
    Velmora::Console::flush();
    runLine(console, QStringLiteral("x"));
    runLine(console, QStringLiteral("x"));
    runLine(console, QStringLiteral("y"));
    runLine(console, QStringLiteral("x"));
    runLine(console, QString());
    QCOMPARE(console.history(), (QStringList{QString(), "x", "y", "x"}));
    QVERIFY(console.commandLine()->text().isEmpty());

    Velmora::Console::flush();
    const Velmora::Vector<Velmora::String> log = Velmora::Console::getCommandLog();
    QVERIFY(log.size() >= before + 5);
    QCOMPARE(QString::fromUtf8(log.last().get()), QString());
}

void tst_ConsoleWidget::clear_empties_the_view_and_drops_queued_text()
{
    ConsoleWidget console;
    console.onConsoleOutput("shown\n", 0);
    console.flushOutput();
    console.onConsoleOutput("queued\n", 0);
    runLine(console, QStringLiteral("clear"));
    console.flushOutput();
    QCOMPARE(console.outputView()->toPlainText(), QString());

    console.onConsoleOutput("kept\n", 0);
    runLine(console, QStringLiteral("Clear"));
    console.flushOutput();
    QVERIFY(console.outputView()->toPlainText().contains(QStringLiteral("kept")));
}

void tst_ConsoleWidget::history_round_trip_keeps_slot_zero_and_fifty_commands()
{
    EditorSettings settings;
    {
        ConsoleWidget console;
        console.loadHistory(&settings);
        for (int i = 0; i < 60; ++i)
            runLine(console, QStringLiteral("command %1").arg(i));
        console.saveHistory(&settings);
    }
    const EditorSettings::ConsoleSection section = settings.console();
    const QStringList saved = section.history.file->getString(section.history.key).split(QLatin1Char('\n'));
    QCOMPARE(saved.size(), ConsoleWidget::MAX_HISTORY + 1);
    QCOMPARE(saved.first(), QString());
    QCOMPARE(saved.at(1), QStringLiteral("command 59"));
    QCOMPARE(saved.last(), QStringLiteral("command 10"));

    ConsoleWidget reloaded;
    reloaded.loadHistory(&settings);
    QCOMPARE(reloaded.history().size(), ConsoleWidget::MAX_HISTORY + 1);
    QCOMPARE(reloaded.history().at(1), QStringLiteral("command 59"));
}

void tst_ConsoleWidget::loaded_history_drops_empty_pieces()
{
    EditorSettings settings;
    const EditorSettings::ConsoleSection section = settings.console();
    section.history.file->set(section.history.key, QStringLiteral("\na\n\nb\n"));
    ConsoleWidget console;
    console.loadHistory(&settings);
    QCOMPARE(console.history(), (QStringList{QString(), "a", "b"}));

    QTest::keyClick(console.commandLine(), Qt::Key_Up);
    QCOMPARE(console.commandLine()->text(), QStringLiteral("a"));
    QTest::keyClick(console.commandLine(), Qt::Key_Up);
    QTest::keyClick(console.commandLine(), Qt::Key_Up);
    QCOMPARE(console.commandLine()->text(), QStringLiteral("b"));
    QTest::keyClick(console.commandLine(), Qt::Key_Down);
    QTest::keyClick(console.commandLine(), Qt::Key_Down);
    QTest::keyClick(console.commandLine(), Qt::Key_Down);
    QCOMPARE(console.commandLine()->text(), QString());
}

void tst_ConsoleWidget::window_detaches_its_output_callback()
{
    const int before = Velmora::Console::getNumOutputCallbacks();
    {
        ConsoleWidget console;
        QCOMPARE(Velmora::Console::getNumOutputCallbacks(), before + 1);
    }
    QCOMPARE(Velmora::Console::getNumOutputCallbacks(), before);
    Velmora::Log::message("after the window is gone\n");
}

QTEST_MAIN(tst_ConsoleWidget)
#include "tst_console_widget.moc"
