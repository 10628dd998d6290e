#include "editor/console/console_widget.h"
#include "window_system.h"

#include <editor_core/EditorSettings.h>

#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Log.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {

const QStringList NO_HISTORY{QString()};

} // namespace

class tst_ConsoleWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Output
    void lines_logged_by_many_threads_during_drains_arrive_once_and_in_order();
    void text_printed_while_a_drain_shows_text_is_kept_for_the_next_flush();
    void texts_without_line_feed_continue_the_block();
    void kinds_have_their_colours_data();
    void kinds_have_their_colours();
    void blocks_follow_a_new_palette_by_their_stored_kind();
    void a_recolour_covers_every_character_and_leaves_the_view_alone();
    void view_follows_new_text_only_at_the_bottom();
    void a_resize_keeps_the_view_following_or_where_the_user_left_it_data();
    void a_resize_keeps_the_view_following_or_where_the_user_left_it();
    void only_the_newest_ten_thousand_blocks_are_kept();

    // Command line
    void history_keeps_commands_newest_first_data();
    void history_keeps_commands_newest_first();
    void up_and_down_stop_at_the_ends_and_give_back_typed_text();
    void up_and_down_before_the_history_is_loaded_stay_in_the_history();
    void clear_command_is_exact_data();
    void clear_command_is_exact();
    void tab_lists_variables_and_commands_and_completes_with_a_blank();
    void context_menu_ends_with_clear();

    // Settings and life time
    void history_round_trip_keeps_slot_zero_and_fifty_commands();
    void loaded_history_drops_empty_lines();
    void saving_detaches_only_the_window_itself();
    void window_destroyed_without_saving_is_never_called_again();

private:
    static void runLine(ConsoleWidget &console, const QString &text);
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

void tst_ConsoleWidget::lines_logged_by_many_threads_during_drains_arrive_once_and_in_order()
{
    ConsoleWidget console;
    const int threads = 4;
    const int per_thread = 2400; // the whole storm fits into the 10000 blocks
    std::atomic<int> finished{0};
    std::atomic<int> drains{0};
    // Plain threads: a thread checker understands their start and join.
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &finished, &drains] {
            for (int i = 0; i < per_thread; ++i) {
                // Half-way, wait for drains, so that they surely run while
                // the threads print.
                while (i == per_thread / 2 && drains < 2)
                    std::this_thread::yield();
                Velmora::Log::message("thread %d line %d\n", t, i);
            }
            ++finished;
        });
    }
    while (finished < threads) {
        console.flushOutput();
        ++drains;
        QThread::usleep(200);
    }
    for (std::thread &worker : workers)
        worker.join();
    console.flushOutput();
    QCOMPARE(console.pendingCount(), 0);

    std::vector<int> next(threads, 0);
    QTextDocument *document = console.outputView()->document();
    int lines = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QStringList words = block.text().split(QLatin1Char(' '));
        if (words.size() != 4 || words.at(0) != QLatin1String("thread"))
            continue;
        const int t = words.at(1).toInt();
        QCOMPARE(words.at(3).toInt(), next[size_t(t)]);
        ++next[size_t(t)];
        ++lines;
    }
    QCOMPARE(lines, threads * per_thread);
    for (int t = 0; t < threads; ++t)
        QCOMPARE(next[size_t(t)], per_thread);
}

void tst_ConsoleWidget::text_printed_while_a_drain_shows_text_is_kept_for_the_next_flush()
{
    ConsoleWidget console;
    // Printing from inside the view's update: the engine calls back on the
    // GUI thread while the drain is showing its batch.
    bool printed = false;
    connect(console.outputView()->document(), &QTextDocument::contentsChange, this, [&printed] {
        if (printed)
            return;
        printed = true;
        Velmora::Log::warning("printed during the drain\n");
    });
    for (int i = 0; i < 3; ++i)
        console.onConsoleOutput(qPrintable(QStringLiteral("queued %1\n").arg(i)), 0);

    console.flushOutput();
    QVERIFY(printed);
    console.flushOutput();

    const QString text = console.outputView()->toPlainText();
    QCOMPARE(text.count(QStringLiteral("printed during the drain")), 1);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(text.count(QStringLiteral("queued %1").arg(i)), 1);
    QVERIFY(text.indexOf(QLatin1String("queued 2")) < text.indexOf(QLatin1String("printed during the drain")));
}

void tst_ConsoleWidget::texts_without_line_feed_continue_the_block()
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
    QCOMPARE(document->lastBlock().userState(), 0);
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
    palette.setColor(QPalette::WindowText, QColor(0x12, 0x34, 0x56, 0x80)); // alpha is dropped
    console.setPalette(palette);
    const QString expected = colour.isEmpty() ? QStringLiteral("#123456") : colour;

    console.onConsoleOutput("text\n", kind);
    console.flushOutput();

    QCOMPARE(console.colorForKind(kind).name(QColor::HexArgb), QStringLiteral("#ff") + expected.mid(1));
    const QTextBlock block = console.outputView()->document()->firstBlock();
    QCOMPARE(block.begin().fragment().charFormat().foreground().color().name(), expected);
}

void tst_ConsoleWidget::blocks_follow_a_new_palette_by_their_stored_kind()
{
    ConsoleWidget console;
    QPalette palette = console.palette();
    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("#101010")));
    console.setPalette(palette);
    console.onConsoleOutput("plain\n", 0);
    console.onConsoleOutput("error\n", 2);
    console.flushOutput();

    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("#abcdef")));
    console.setPalette(palette);
    QEvent style_change(QEvent::StyleChange);
    QApplication::sendEvent(&console, &style_change);

    const QTextBlock plain = console.outputView()->document()->firstBlock();
    QCOMPARE(plain.begin().fragment().charFormat().foreground().color().name(), QStringLiteral("#abcdef"));
    QCOMPARE(plain.next().begin().fragment().charFormat().foreground().color().name(), QStringLiteral("#ff6c6c"));
}

void tst_ConsoleWidget::a_recolour_covers_every_character_and_leaves_the_view_alone()
{
    ConsoleWidget console;
    console.resize(400, 200);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    QPalette palette = console.palette();
    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("#101010")));
    console.setPalette(palette);
    // A block of two kinds takes the colour of the one stored last; the last
    // block has no line feed after it.
    console.onConsoleOutput("warning start, ", 1);
    console.onConsoleOutput("error end\n", 2);
    for (int i = 0; i < 150; ++i)
        console.onConsoleOutput(
                qPrintable(QStringLiteral("line %1 %2\n").arg(i).arg(QString(i % 40, QLatin1Char('x')))), i % 3);
    console.onConsoleOutput("last", 0);
    console.flushOutput();
    QScrollBar *bar = console.outputView()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int value = bar->value();
    const int maximum = bar->maximum();
    QTextDocument *document = console.outputView()->document();
    const QString text = document->toPlainText();

    palette.setColor(QPalette::WindowText, QColor(QStringLiteral("#abcdef")));
    console.setPalette(palette);

    QCOMPARE(document->toPlainText(), text);
    const QString colours[] = {QStringLiteral("#abcdef"), QStringLiteral("#ffa000"), QStringLiteral("#ff6c6c")};
    int checked = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        int covered = 0;
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            QCOMPARE(it.fragment().charFormat().foreground().color().name(), colours[block.userState()]);
            covered += it.fragment().length();
        }
        QCOMPARE(covered, block.length() - 1);
        ++checked;
    }
    QCOMPARE(checked, 152);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), value);
}

void tst_ConsoleWidget::view_follows_new_text_only_at_the_bottom()
{
    ConsoleWidget console;
    console.resize(400, 200);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    for (int i = 0; i < 200; ++i)
        console.onConsoleOutput(qPrintable(QStringLiteral("line %1\n").arg(i)), 0);
    console.flushOutput();
    QScrollBar *bar = console.outputView()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    console.onConsoleOutput("more\n", 0);
    console.flushOutput();
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(10);
    const int maximum = bar->maximum();
    for (int i = 0; i < 20; ++i)
        console.onConsoleOutput("later\n", 0);
    console.flushOutput();
    console.flushOutput(); // past the two start-up flushes that always show the end
    QVERIFY(bar->maximum() > maximum);
    QCOMPARE(bar->value(), 10);
}

void tst_ConsoleWidget::a_resize_keeps_the_view_following_or_where_the_user_left_it_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("scrolled_up");
    QTest::newRow("lower") << QSize(400, 120) << false;
    QTest::newRow("narrower") << QSize(200, 200) << false;
    QTest::newRow("taller") << QSize(400, 320) << false;
    QTest::newRow("lower, scrolled up") << QSize(400, 120) << true;
}

void tst_ConsoleWidget::a_resize_keeps_the_view_following_or_where_the_user_left_it()
{
    QFETCH(QSize, size);
    QFETCH(bool, scrolled_up);
    ConsoleWidget console;
    console.resize(400, 200);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    for (int i = 0; i < 100; ++i)
        console.onConsoleOutput(
                qPrintable(QStringLiteral("line %1 of a text long enough to wrap in a narrow view\n").arg(i)), 0);
    console.flushOutput();
    console.flushOutput(); // past the two start-up flushes that always show the end
    QScrollBar *bar = console.outputView()->verticalScrollBar();
    if (scrolled_up)
        bar->setValue(10);

    console.resize(size); // the user drags the dock's edge
    QApplication::processEvents();
    const auto top_block = [&console]() { return console.outputView()->cursorForPosition(QPoint(4, 4)).blockNumber(); };
    const int shown = top_block();
    console.onConsoleOutput("help\n", 0);
    console.flushOutput();
    QApplication::processEvents();
    if (scrolled_up) {
        QCOMPARE(top_block(), shown);
        QVERIFY(bar->value() < bar->maximum());
    } else {
        QCOMPARE(bar->value(), bar->maximum());
    }
}

void tst_ConsoleWidget::only_the_newest_ten_thousand_blocks_are_kept()
{
    ConsoleWidget console;
    for (int i = 0; i < ConsoleWidget::MAX_BLOCK_COUNT + 50; ++i)
        console.onConsoleOutput(qPrintable(QStringLiteral("line %1\n").arg(i)), 0);
    console.onConsoleOutput("last", 0);
    console.flushOutput();
    QTextDocument *document = console.outputView()->document();
    QCOMPARE(document->blockCount(), ConsoleWidget::MAX_BLOCK_COUNT);
    QCOMPARE(document->lastBlock().text(), QStringLiteral("last"));
    QCOMPARE(document->firstBlock().text(), QStringLiteral("line 51"));
}

void tst_ConsoleWidget::history_keeps_commands_newest_first_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("history");
    QTest::newRow("a repeat is stored once") << QStringList{"x", "x"} << QStringList{"", "x"};
    QTest::newRow("an older command comes back on top") << QStringList{"x", "y", "x"} << QStringList{"", "x", "y", "x"};
    QTest::newRow("an empty line leaves the history alone") << QStringList{"x", ""} << QStringList{"", "x"};
    QTest::newRow("case matters for repeats") << QStringList{"echo", "Echo"} << QStringList{"", "Echo", "echo"};
}

void tst_ConsoleWidget::history_keeps_commands_newest_first()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, history);
    ConsoleWidget console;
    Velmora::Console::flush();
    Velmora::Console::clearCommandLog();
    for (const QString &command : qAsConst(commands))
        runLine(console, command);
    QCOMPARE(console.history(), history);
    QVERIFY(console.commandLine()->text().isEmpty());

    // Every line reaches the engine, the empty one included.
    Velmora::Console::flush();
    const Velmora::Vector<Velmora::String> log = Velmora::Console::getCommandLog();
    QStringList ran;
    for (const Velmora::String &line : log)
        ran << QString::fromUtf8(line.get());
    QCOMPARE(ran, commands);
}

void tst_ConsoleWidget::up_and_down_stop_at_the_ends_and_give_back_typed_text()
{
    EditorSettings settings;
    ConsoleWidget console;
    console.loadHistory(&settings);
    runLine(console, QStringLiteral("first"));
    runLine(console, QStringLiteral("second"));
    QLineEdit *line = console.commandLine();

    line->setText(QStringLiteral("typed"));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("second"));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("first"));
    QTest::keyClick(line, Qt::Key_Up);
    QCOMPARE(line->text(), QStringLiteral("first"));
    QTest::keyClick(line, Qt::Key_Down);
    QTest::keyClick(line, Qt::Key_Down);
    QCOMPARE(line->text(), QStringLiteral("typed"));
    QTest::keyClick(line, Qt::Key_Down);
    QCOMPARE(line->text(), QStringLiteral("typed"));

    // An edited recalled command replaces its entry.
    QTest::keyClick(line, Qt::Key_Up);
    line->setText(QStringLiteral("second, edited"));
    QTest::keyClick(line, Qt::Key_Down);
    QCOMPARE(console.history(), (QStringList{"typed", "second, edited", "first"}));
}

void tst_ConsoleWidget::up_and_down_before_the_history_is_loaded_stay_in_the_history()
{
    ConsoleWidget console;
    QCOMPARE(console.history(), NO_HISTORY);
    QLineEdit *line = console.commandLine();
    line->setText(QStringLiteral("typed"));
    QTest::keyClick(line, Qt::Key_Up);
    QTest::keyClick(line, Qt::Key_Down);
    QTest::keyClick(line, Qt::Key_Down);
    QCOMPARE(line->text(), QStringLiteral("typed"));
    QCOMPARE(console.history(), QStringList{QStringLiteral("typed")});
}

void tst_ConsoleWidget::clear_command_is_exact_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("clears");
    QTest::newRow("clear") << "clear" << true;
    QTest::newRow("other letter case") << "Clear" << false;
    QTest::newRow("trailing blank") << "clear " << false;
    QTest::newRow("leading blank") << " clear" << false;
}

void tst_ConsoleWidget::clear_command_is_exact()
{
    QFETCH(QString, command);
    QFETCH(bool, clears);
    ConsoleWidget console;
    console.onConsoleOutput("shown\n", 0);
    console.flushOutput();
    console.onConsoleOutput("queued\n", 0);
    Velmora::Console::flush();
    Velmora::Console::clearCommandLog();

    runLine(console, command);
    console.flushOutput();

    const QString text = console.outputView()->toPlainText();
    QCOMPARE(text.isEmpty(), clears);
    QCOMPARE(text.contains(QLatin1String("queued")), !clears);
    Velmora::Console::flush();
    const Velmora::Vector<Velmora::String> log = Velmora::Console::getCommandLog();
    QCOMPARE(log.size(), 1);
    QCOMPARE(QString::fromUtf8(log[0].get()), command);
}

void tst_ConsoleWidget::tab_lists_variables_and_commands_and_completes_with_a_blank()
{
    Velmora::Console::addInt("zz_tab_int", 42, "an int");
    Velmora::Console::addFloat("zz_tab_float", 0.125f, "a float");
    Velmora::Console::addString("zz_tab_text", "words", "a text");
    Velmora::Console::addCommand("zz_tab_command", "does nothing", [](int, const char *const *) {});

    ConsoleWidget console;
    console.resize(400, 300);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    QLineEdit *line = console.commandLine();
    line->setFocus();
    QTRY_VERIFY(line->hasFocus());
    console.flushOutput(); // the focus asked for a new list

    QCompleter *completer = line->completer();
    QAbstractItemModel *model = completer->model();
    QVERIFY(model);
    QMap<QString, QString> rows;
    int first_command_row = -1;
    for (int row = 0; row < model->rowCount(); ++row) {
        const QString name = model->index(row, 0).data().toString();
        rows.insert(name, model->index(row, 1).data().toString());
        if (first_command_row < 0 && Velmora::Console::isCommand(name.toUtf8().constData()))
            first_command_row = row;
    }
    QCOMPARE(rows.value(QStringLiteral("zz_tab_int")), QStringLiteral("42"));
    QCOMPARE(rows.value(QStringLiteral("zz_tab_float")), QStringLiteral("0.125"));
    QCOMPARE(rows.value(QStringLiteral("zz_tab_text")), QStringLiteral("words"));
    QCOMPARE(rows.value(QStringLiteral("zz_tab_command")), QStringLiteral("does nothing"));
    QCOMPARE(first_command_row, Velmora::Console::getNumVariables()); // variables first

    QTest::keyClick(line, Qt::Key_Tab);
    QAbstractItemView *popup = completer->popup();
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->model()->rowCount(), model->rowCount());

    QTest::keyClick(popup, Qt::Key_Tab);
    const QString first_name = model->index(0, 0).data().toString();
    QTRY_COMPARE(line->text(), first_name + QLatin1Char(' '));
    QTRY_VERIFY(line->hasFocus());

    // Typed text narrows the list; Tab takes the first name that matches.
    line->clear();
    QTest::keyClicks(line, QStringLiteral("ZZ_TAB_C"));
    QTest::keyClick(line, Qt::Key_Tab);
    QTRY_VERIFY(popup->isVisible());
    QCOMPARE(popup->model()->rowCount(), 1);
    QTest::keyClick(popup, Qt::Key_Tab);
    QTRY_COMPARE(line->text(), QStringLiteral("zz_tab_command "));
    QTRY_VERIFY(line->hasFocus());

    Velmora::Console::removeVariable("zz_tab_int");
    Velmora::Console::removeVariable("zz_tab_float");
    Velmora::Console::removeVariable("zz_tab_text");
    Velmora::Console::removeCommand("zz_tab_command");
}

void tst_ConsoleWidget::context_menu_ends_with_clear()
{
    ConsoleWidget console;
    console.resize(400, 300);
    console.show();
    QVERIFY(QTest::qWaitForWindowExposed(&console));
    console.onConsoleOutput("shown\n", 0);
    console.flushOutput();

    QString last_action;
    QTimer::singleShot(0, this, [&last_action] {
        auto menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QAction *clear = menu->actions().last();
        last_action = clear->text();
        clear->trigger();
        menu->close();
    });
    emit console.outputView()->customContextMenuRequested(QPoint(10, 10));

    QCOMPARE(last_action, QStringLiteral("Clear"));
    QCOMPARE(console.outputView()->toPlainText(), QString());
}

void tst_ConsoleWidget::history_round_trip_keeps_slot_zero_and_fifty_commands()
{
    EditorSettings settings;
    {
        ConsoleWidget console;
        console.loadHistory(&settings);
        for (int i = 0; i < 60; ++i)
            runLine(console, QStringLiteral("command %1").arg(i));
        QCOMPARE(console.history().size(), 61); // the list in memory is never cut
        console.saveHistory(&settings);
    }
    const ConfigEntry entry = settings.console().history;
    const QStringList saved = entry.file->getString(entry.key).split(QLatin1Char('\n'));
    QCOMPARE(saved.size(), ConsoleWidget::MAX_HISTORY + 1);
    QCOMPARE(saved.first(), QString());
    QCOMPARE(saved.at(1), QStringLiteral("command 59"));
    QCOMPARE(saved.last(), QStringLiteral("command 10"));

    ConsoleWidget reloaded;
    reloaded.loadHistory(&settings);
    QCOMPARE(reloaded.history().size(), ConsoleWidget::MAX_HISTORY + 1);
    QCOMPARE(reloaded.history().at(0), QString());
    QCOMPARE(reloaded.history().at(1), QStringLiteral("command 59"));
}

void tst_ConsoleWidget::loaded_history_drops_empty_lines()
{
    EditorSettings settings;
    const ConfigEntry entry = settings.console().history;
    entry.file->set(entry.key, QStringLiteral("\na\n\nb\n"));
    ConsoleWidget console;
    console.loadHistory(&settings);
    QCOMPARE(console.history(), (QStringList{QString(), "a", "b"}));

    entry.file->remove(entry.key);
    ConsoleWidget fresh;
    fresh.loadHistory(&settings);
    QCOMPARE(fresh.history(), NO_HISTORY);
}

void tst_ConsoleWidget::saving_detaches_only_the_window_itself()
{
    int other_calls = 0;
    void *other = Velmora::Console::addOutputCallback(
            new Velmora::CallbackFunction2<const char *, int>([&other_calls](const char *, int) { ++other_calls; }));
    EditorSettings settings;
    ConsoleWidget console;
    QVERIFY(console.isAttached());
    console.saveHistory(&settings);
    QVERIFY(!console.isAttached());

    Velmora::Log::message("after saving\n");
    QCOMPARE(console.pendingCount(), 0);
    QCOMPARE(other_calls, 1);
    QVERIFY(Velmora::Console::removeOutputCallback(other));
}

void tst_ConsoleWidget::window_destroyed_without_saving_is_never_called_again()
{
    const int before = Velmora::Console::getNumOutputCallbacks();
    {
        ConsoleWidget console;
        QCOMPARE(Velmora::Console::getNumOutputCallbacks(), before + 1);
        Velmora::Log::message("while the window lives\n");
        QCOMPARE(console.pendingCount(), 1);
    }
    QCOMPARE(Velmora::Console::getNumOutputCallbacks(), before);
    Velmora::Log::message("after the window is gone\n");
}

QTEST_MAIN(tst_ConsoleWidget)
#include "tst_console_widget.moc"
