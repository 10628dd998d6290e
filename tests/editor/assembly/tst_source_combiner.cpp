// Merging the sources' items into one list, and the collision dialog that
// settles two different user files for one output path, driven offscreen
// from a worker thread as during a build.

#include "assembly_test_support.h"

#include "editor/assembly/core/impl/file_processing/source_combiner.h"
#include "editor/assembly/core/post_processing_handler.h"
#include "editor/assembly/ui/diff_files_prompt.h"
#include "editor/assembly/ui/diff_files_widget.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QtTest>

using namespace assembly;
using assemblytest::Installation;
using assemblytest::MessageCapture;

namespace {

using Reports = QList<QPair<int, int>>;

class FixedSource : public fp::Source
{
public:
    FixedSource(fp::CopyItems items, int max = 1, bool ok = true)
        : items_(std::move(items))
        , max_(max)
        , ok_(ok)
    {}
    int getMaxProgress() const override { return max_; }
    bool process(const ProgressCallback &progress, post::OperationQueue &, fp::CopyItems &items) override
    {
        items += items_;
        for (int i = 1; i <= max_; ++i) {
            if (!progress(max_, i))
                return false;
        }
        return ok_;
    }

private:
    fp::CopyItems items_;
    int max_;
    bool ok_;
};

SourceCombiner::Sources sources(std::initializer_list<fp::Source *> list)
{
    SourceCombiner::Sources result;
    for (fp::Source *source : list)
        result.emplace_back(source);
    return result;
}

// Runs the combiner on a worker thread while the GUI thread spins.
bool runOnWorker(SourceCombiner &combiner, fp::CopyItems &out)
{
    PostProcessingHandler queue;
    bool result = false;
    std::unique_ptr<QThread> thread(
            QThread::create([&]() { result = combiner.process([](int, int) { return true; }, queue, out); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(15000, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    return thread->wait(5000) && result;
}

// Acts on the collision dialog at the moment it is shown, that is before the
// worker has even been told that it is up.
class OnShow : public QObject
{
public:
    explicit OnShow(std::function<void(DiffFilesWidget *)> action)
        : action_(std::move(action))
    {
        qApp->installEventFilter(this);
    }
    ~OnShow() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto dialog = qobject_cast<DiffFilesWidget *>(watched)) {
                ++shown;
                action_(dialog);
            }
        }
        return false;
    }

private:
    std::function<void(DiffFilesWidget *)> action_;
};

} // namespace

class TestSourceCombiner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void system_items_merge_by_destination_data();
    void system_items_merge_by_destination();
    void a_user_file_never_replaces_a_project_file_data();
    void a_user_file_never_replaces_a_project_file();
    void the_user_chooses_between_two_different_user_files_data();
    void the_user_chooses_between_two_different_user_files();
    void destinations_outside_the_build_folder_are_dropped_data();
    void destinations_outside_the_build_folder_are_dropped();
    void a_failing_source_empties_the_list();
    void sources_share_the_progress_end_to_end();
    void files_are_compared_block_by_block();

    void the_dialog_shows_both_files_and_ignores_escape_and_close();
    void use_second_in_the_dialog_takes_the_second_file();
    void an_answer_before_the_worker_waits_is_not_lost();
    void a_dialog_destroyed_without_answer_keeps_the_first_file();

private:
    Installation inst_;
    QString a_, a_copy_, b_same_size_, c_longer_;
};

void TestSourceCombiner::initTestCase()
{
    a_ = inst_.root() + "a.txt";
    a_copy_ = inst_.root() + "copy/A.TXT";
    b_same_size_ = inst_.root() + "b.txt";
    c_longer_ = inst_.root() + "c.txt";
    QVERIFY(Installation::writeFile(a_, "alpha"));
    QVERIFY(Installation::writeFile(a_copy_, "alpha"));
    QVERIFY(Installation::writeFile(b_same_size_, "bravo"));
    QVERIFY(Installation::writeFile(c_longer_, "charlie"));
}

void TestSourceCombiner::system_items_merge_by_destination_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("second_dest");
    QTest::addColumn<int>("warnings");
    QTest::newRow("same source") << "a"
                                 << "data/a.txt" << 0;
    QTest::newRow("identical file in another letter case") << "a_copy"
                                                           << "Data/A.txt" << 0;
    QTest::newRow("same size, other bytes") << "b"
                                            << "data/a.txt" << 4;
    QTest::newRow("other size") << "c"
                                << "DATA/a.TXT" << 4;
}

void TestSourceCombiner::system_items_merge_by_destination()
{
    QFETCH(QString, second);
    QFETCH(QString, second_dest);
    QFETCH(int, warnings);
    const QString path = second == "a" ? a_ : second == "a_copy" ? a_copy_ : second == "b" ? b_same_size_ : c_longer_;
    SourceCombiner combiner(sources({new FixedSource({{a_, "data/a.txt"}}), new FixedSource({{path, second_dest}})}),
                            {}, [](const QString &, const QString &, const QString &) { return -1; });
    MessageCapture capture;
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(combiner.process([](int, int) { return true; }, queue, out));
    QCOMPARE(out, (fp::CopyItems{{a_, "data/a.txt"}}));
    QCOMPARE(capture.count(QtWarningMsg, ""), warnings);
    if (warnings) {
        QCOMPARE(capture.messages().at(0),
                 QStringLiteral("Build Tool: [internal warning]  files are different, must be same."));
        QCOMPARE(capture.messages().at(1), "\tFile 1:  \"" + path + "\"");
        QCOMPARE(capture.messages().at(3), "\tOutput file:  \"" + second_dest + "\"");
    }
}

void TestSourceCombiner::a_user_file_never_replaces_a_project_file_data()
{
    QTest::addColumn<bool>("identical");
    QTest::newRow("different file warns") << false;
    QTest::newRow("identical file is dropped silently") << true;
}

void TestSourceCombiner::a_user_file_never_replaces_a_project_file()
{
    QFETCH(bool, identical);
    int asked = 0;
    SourceCombiner combiner(sources({new FixedSource({{a_, "data/a.txt"}})}),
                            sources({new FixedSource({{identical ? a_copy_ : b_same_size_, "DATA/A.TXT"}})}),
                            [&asked](const QString &, const QString &, const QString &) { return ++asked, 1; });
    MessageCapture capture;
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(combiner.process([](int, int) { return true; }, queue, out));
    QCOMPARE(out, (fp::CopyItems{{a_, "data/a.txt"}}));
    QCOMPARE(asked, 0);
    QCOMPARE(capture.count(QtWarningMsg, "user file can't be copied to the build output folder"), identical ? 0 : 1);
    if (!identical) {
        // The project file is named by the output file both would take.
        QCOMPARE(capture.messages().mid(1),
                 (QStringList{"\tUser file:  \"" + b_same_size_ + "\"", "\tProject file:  \"DATA/A.TXT\""}));
    }
}

void TestSourceCombiner::the_user_chooses_between_two_different_user_files_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("use first") << 0;
    QTest::newRow("use second") << 1;
}

void TestSourceCombiner::the_user_chooses_between_two_different_user_files()
{
    QFETCH(int, answer);
    QStringList asked;
    SourceCombiner combiner(sources({new FixedSource({{c_longer_, "other.txt"}})}),
                            sources({new FixedSource({{a_, "docs/x.txt"}, {c_longer_, "last.txt"}}),
                                     new FixedSource({{a_copy_, "docs/X.TXT"}, {b_same_size_, "Docs/x.txt"}})}),
                            [&](const QString &first, const QString &second, const QString &output) {
                                asked << first + "|" + second + "|" + output;
                                return answer;
                            });
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(combiner.process([](int, int) { return true; }, queue, out));
    // The identical copy is merged silently; only the different file asks.
    QCOMPARE(asked, QStringList{a_ + "|" + b_same_size_ + "|docs/x.txt"});
    const fp::CopyItem second_place
            = answer == 0 ? fp::CopyItem{a_, "docs/x.txt"} : fp::CopyItem{b_same_size_, "Docs/x.txt"};
    QCOMPARE(out, (fp::CopyItems{{c_longer_, "other.txt"}, second_place, {c_longer_, "last.txt"}}));
}

void TestSourceCombiner::destinations_outside_the_build_folder_are_dropped_data()
{
    QTest::addColumn<QString>("dest");
    for (const char *dest : {"../x", "a/../../x", "/abs", "a//b", "a\\b", "./a", ""})
        QTest::newRow(dest) << QString::fromLatin1(dest);
}

void TestSourceCombiner::destinations_outside_the_build_folder_are_dropped()
{
    QFETCH(QString, dest);
    SourceCombiner combiner(sources({new FixedSource({{a_, dest}, {a_, "ok.txt"}})}),
                            sources({new FixedSource({{b_same_size_, dest}})}),
                            [](const QString &, const QString &, const QString &) { return 1; });
    MessageCapture capture;
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(combiner.process([](int, int) { return true; }, queue, out));
    QCOMPARE(out, (fp::CopyItems{{a_, "ok.txt"}}));
    QCOMPARE(capture.count(QtWarningMsg, "not a path inside the build folder"), 2);
}

void TestSourceCombiner::a_failing_source_empties_the_list()
{
    SourceCombiner combiner(
            sources({new FixedSource({{a_, "a.txt"}}), new FixedSource({{c_longer_, "c.txt"}}, 1, false),
                     new FixedSource({{b_same_size_, "b.txt"}})}),
            {}, [](const QString &, const QString &, const QString &) { return 0; });
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(!combiner.process([](int, int) { return true; }, queue, out));
    QVERIFY(out.isEmpty());
}

void TestSourceCombiner::sources_share_the_progress_end_to_end()
{
    SourceCombiner combiner(sources({new FixedSource({}, 3), new FixedSource({}, 1)}),
                            sources({new FixedSource({}, 2)}),
                            [](const QString &, const QString &, const QString &) { return 0; });
    QCOMPARE(combiner.getMaxProgress(), 6);
    Reports reports;
    fp::CopyItems out;
    PostProcessingHandler queue;
    QVERIFY(combiner.process([&](int max, int value) { return reports.append({max, value}), true; }, queue, out));
    QCOMPARE(reports, (Reports{{6, 1}, {6, 2}, {6, 3}, {6, 4}, {6, 5}, {6, 6}, {6, 6}}));

    Reports cancelled;
    QVERIFY(!combiner.process(
            [&](int max, int value) {
                return cancelled.append({max, value}), value < 6;
            },
            queue, out));
    QCOMPARE(cancelled.last(), qMakePair(6, 6));
}

void TestSourceCombiner::files_are_compared_block_by_block()
{
    QByteArray data(20000, 'x');
    QVERIFY(Installation::writeFile(inst_.root() + "big1", data));
    data[19999] = 'y';
    QVERIFY(Installation::writeFile(inst_.root() + "big2", data));
    QVERIFY(Installation::writeFile(inst_.root() + "empty1", QByteArray()));
    QVERIFY(Installation::writeFile(inst_.root() + "empty2", QByteArray()));
    QVERIFY(!SourceCombiner::filesEqual(inst_.root() + "big1", inst_.root() + "big2"));
    QVERIFY(SourceCombiner::filesEqual(inst_.root() + "big1", inst_.root() + "big1"));
    QVERIFY(SourceCombiner::filesEqual(inst_.root() + "empty1", inst_.root() + "empty2"));
    QVERIFY(!SourceCombiner::filesEqual(inst_.root() + "empty1", inst_.root() + "missing"));
}

void TestSourceCombiner::the_dialog_shows_both_files_and_ignores_escape_and_close()
{
    DiffFilesWidget dialog("/in/first.txt", "/in/second.txt", "docs/x.txt");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Output File Collision"));
    QCOMPARE(dialog.findChild<QLineEdit *>("first_file")->text(), QStringLiteral("/in/first.txt"));
    QCOMPARE(dialog.findChild<QLineEdit *>("second_file")->text(), QStringLiteral("/in/second.txt"));
    QCOMPARE(dialog.findChild<QLineEdit *>("output_file")->text(), QStringLiteral("docs/x.txt"));
    QVERIFY(dialog.findChild<QLineEdit *>("output_file")->isReadOnly());
    QStringList labels;
    for (QLabel *label : dialog.findChildren<QLabel *>())
        labels << label->text();
    QVERIFY(labels.contains("You're trying to put two different source files to the same output file. "));
    QCOMPARE(dialog.width(), 600);

    QSignalSpy selected(&dialog, &DiffFilesWidget::selected);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    dialog.close();
    QVERIFY(dialog.isVisible());
    QVERIFY(selected.isEmpty());
    QTest::mouseClick(dialog.useSecondButton(), Qt::LeftButton);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().first().toInt(), 1);
}

void TestSourceCombiner::use_second_in_the_dialog_takes_the_second_file()
{
    SourceCombiner combiner(sources({new FixedSource({})}),
                            sources({new FixedSource({{a_, "docs/x.txt"}, {b_same_size_, "docs/x.txt"}})}),
                            &DiffFilesPrompt::showDiffWidget);
    // Clicked once the dialog is up, through the event loop.
    int shown = 0;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&]() {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto dialog = qobject_cast<DiffFilesWidget *>(widget);
            if (dialog && dialog->isVisible()) {
                ++shown;
                QVERIFY(dialog->isModal());
                QTest::mouseClick(dialog->useSecondButton(), Qt::LeftButton);
            }
        }
    });
    poll.start(20);
    fp::CopyItems out;
    QVERIFY(runOnWorker(combiner, out));
    QCOMPARE(shown, 1);
    QCOMPARE(out, (fp::CopyItems{{b_same_size_, "docs/x.txt"}}));
}

void TestSourceCombiner::an_answer_before_the_worker_waits_is_not_lost()
{
    OnShow click([](DiffFilesWidget *dialog) { dialog->useSecondButton()->click(); });
    SourceCombiner combiner(sources({new FixedSource({})}),
                            sources({new FixedSource({{a_, "x"}, {b_same_size_, "x"}, {a_, "y"}, {c_longer_, "y"}})}),
                            &DiffFilesPrompt::showDiffWidget);
    fp::CopyItems out;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(runOnWorker(combiner, out));
    QVERIFY(timer.elapsed() < 10000);
    QCOMPARE(click.shown, 2);
    QCOMPARE(out, (fp::CopyItems{{b_same_size_, "x"}, {c_longer_, "y"}}));
    QTRY_VERIFY(QApplication::topLevelWidgets().isEmpty() || !QApplication::activeModalWidget());
}

void TestSourceCombiner::a_dialog_destroyed_without_answer_keeps_the_first_file()
{
    OnShow destroy([](DiffFilesWidget *dialog) { dialog->deleteLater(); });
    SourceCombiner combiner(sources({new FixedSource({})}),
                            sources({new FixedSource({{a_, "x"}, {b_same_size_, "x"}})}),
                            &DiffFilesPrompt::showDiffWidget);
    fp::CopyItems out;
    QVERIFY(runOnWorker(combiner, out));
    QCOMPARE(destroy.shown, 1);
    QCOMPARE(out, (fp::CopyItems{{a_, "x"}}));
}

QTEST_MAIN(TestSourceCombiner)
#include "tst_source_combiner.moc"
