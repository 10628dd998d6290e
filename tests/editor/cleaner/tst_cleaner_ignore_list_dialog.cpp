// The "Ignore List" dialog over a copy of the cleaner's test project: what it
// shows, what "Check" reports (invalid and never-matching patterns included),
// and what each button does to the ignore file: saved only after a change, a
// file that could not be read replaced only when the user agrees, a failed
// save shown.

#include "cleaner_fixture.h"

#include <editor/cleaner/ignore_list/ignore_list.h>
#include <editor/cleaner/ignore_list/ignore_list_file.h>
#include <editor/cleaner/ui/cleaner_ignore_list_dialog.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

using cleaner::CleanerIgnoreListDialog;
using cleaner::IgnoreList;

class IgnoreListDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void it_opens_on_the_saved_or_default_list_and_apply_follows_edits();
    void check_lists_the_examined_files_and_notes_doubtful_patterns_data();
    void check_lists_the_examined_files_and_notes_doubtful_patterns();
    void ok_and_cancel_save_or_keep_the_file();
    void an_unreadable_file_is_replaced_only_after_a_change_and_a_yes();
    void a_failed_save_is_shown_and_keeps_apply_enabled();

private:
    QString filePath() const { return cleaner::IgnoreListFile::filePath(); }
    static void click(CleanerIgnoreListDialog &dialog, const char *name)
    {
        dialog.findChild<QPushButton *>(QLatin1String(name))->click();
    }

    QTemporaryDir dir_;
    inastest::AnalysisFixture fixture_;
};

void IgnoreListDialogTest::initTestCase()
{
    QVERIFY(cleanertest::copyFolder(cleanertest::testDataPath(QStringLiteral("project")), dir_.path()));
    QVERIFY(fixture_.start(dir_.path() + QStringLiteral("/data")));
}

void IgnoreListDialogTest::init()
{
    QFile::remove(filePath());
    QDir(filePath()).removeRecursively();
}

void IgnoreListDialogTest::cleanupTestCase()
{
    fixture_.stop();
}

void IgnoreListDialogTest::it_opens_on_the_saved_or_default_list_and_apply_follows_edits()
{
    {
        CleanerIgnoreListDialog dialog(fixture_.assets());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Ignore List"));
        QCOMPARE(dialog.patternEditor()->toPlainText(), IgnoreList::joinLines(IgnoreList::defaultPatterns()));
        QVERIFY(!dialog.applyButton()->isEnabled());
        QVERIFY(dialog.messageLabel()->isHidden());
        click(dialog, "restoreDefaults"); // already the defaults
        QVERIFY(!dialog.applyButton()->isEnabled());

        QTest::keyClick(dialog.patternEditor(), Qt::Key_X);
        QTest::keyClick(dialog.patternEditor(), Qt::Key_Backspace);
        QVERIFY(dialog.applyButton()->isEnabled());
    }
    QVERIFY(IgnoreList::save({QStringLiteral("/sounds/*"), QString()}));
    CleanerIgnoreListDialog dialog(fixture_.assets());
    QCOMPARE(dialog.currentPatterns(), QStringList({QStringLiteral("/sounds/*"), QString()}));
    QVERIFY(!dialog.applyButton()->isEnabled());
}

void IgnoreListDialogTest::check_lists_the_examined_files_and_notes_doubtful_patterns_data()
{
    QTest::addColumn<QString>("patterns");
    QTest::addColumn<QStringList>("listed"); // among the keys
    QTest::addColumn<QStringList>("not_listed");
    QTest::addColumn<QString>("note"); // "" for none
    const QStringList always_out{QStringLiteral("/core/textures/engine.png"), QStringLiteral("/other/notes.json")};
    QTest::newRow("empty: every candidate")
            << "" << QStringList{QStringLiteral("/screenshots/shot.png"), QStringLiteral("/worlds/level.world")}
            << always_out << "";
    QTest::newRow("one asterisk: nothing")
            << "*" << QStringList() << QStringList{QStringLiteral("/sounds/unused.wav")} << "";
    QTest::newRow("an unclosed bracket") << "[abc\n/sounds/*" << QStringList{QStringLiteral("/textures/unused.png")}
                                         << QStringList{QStringLiteral("/sounds/unused.wav")}
                                         << "Invalid patterns (they match nothing):\n    \"[abc\"";
    QTest::newRow("no leading slash")
            << "textures/*.png" << QStringList{QStringLiteral("/textures/unused.png")} << QStringList()
            << "Patterns that can never match (a key always starts with \"/\"):\n    \"textures/*.png\"";
    QTest::newRow("a trailing blank")
            << "/sounds/* " << QStringList{QStringLiteral("/sounds/unused.wav")} << QStringList()
            << "Patterns with a leading or trailing blank (the key must have it too):\n    \"/sounds/* \"";
}

void IgnoreListDialogTest::check_lists_the_examined_files_and_notes_doubtful_patterns()
{
    QFETCH(QString, patterns);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, not_listed);
    QFETCH(QString, note);

    CleanerIgnoreListDialog dialog(fixture_.assets());
    dialog.patternEditor()->setPlainText(patterns);
    click(dialog, "check");
    QStringList lines = dialog.resultBox()->toPlainText().split(QLatin1Char('\n'));
    if (!note.isEmpty()) {
        QVERIFY2(dialog.resultBox()->toPlainText().startsWith(note), qPrintable(dialog.resultBox()->toPlainText()));
        lines = lines.mid(lines.indexOf(QStringLiteral("Files the cleaner examines:")) + 1);
    }
    lines.removeAll(QString());
    QStringList sorted = lines;
    sorted.sort();
    QCOMPARE(lines, sorted);
    for (const QString &key : listed)
        QVERIFY2(lines.contains(key), qPrintable(key));
    for (const QString &key : not_listed)
        QVERIFY2(!lines.contains(key), qPrintable(key));
    if (patterns == QLatin1String("*"))
        QCOMPARE(lines, QStringList());
    // Invalid and never-matching patterns are also flagged while typing.
    const bool doubtful = note.startsWith(QLatin1String("Invalid")) || note.startsWith(QLatin1String("Patterns that"));
    QCOMPARE(!dialog.messageLabel()->isHidden(), doubtful);
    QVERIFY(!QFile::exists(filePath())); // Check never saves
}

void IgnoreListDialogTest::ok_and_cancel_save_or_keep_the_file()
{
    QVERIFY(IgnoreList::save({QStringLiteral("/sounds/*")}));
    {
        CleanerIgnoreListDialog dialog(fixture_.assets());
        dialog.patternEditor()->setPlainText(QStringLiteral("/other/*"));
        click(dialog, "cancel");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.savedChanges());
        QCOMPARE(IgnoreList::load(), QStringList{QStringLiteral("/sounds/*")});
    }
    {
        CleanerIgnoreListDialog dialog(fixture_.assets());
        dialog.patternEditor()->setPlainText(QStringLiteral("/other/*\n/layers/*"));
        click(dialog, "apply");
        QVERIFY(!dialog.applyButton()->isEnabled());
        QVERIFY(dialog.savedChanges());
        QCOMPARE(IgnoreList::load(), QStringList({QStringLiteral("/other/*"), QStringLiteral("/layers/*")}));
    }
    CleanerIgnoreListDialog dialog(fixture_.assets());
    click(dialog, "restoreDefaults");
    QVERIFY(dialog.applyButton()->isEnabled());
    QVERIFY(QFile::exists(filePath())); // nothing saved yet
    click(dialog, "ok");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!QFile::exists(filePath()));
}

void IgnoreListDialogTest::an_unreadable_file_is_replaced_only_after_a_change_and_a_yes()
{
    // Too large to be read whole: what the dialog shows is not the file.
    QByteArray bytes(int(cleaner::IgnoreListFile::MAX_FILE_SIZE), 'x');
    bytes += "\n/protected/*";
    {
        QVERIFY(QDir().mkpath(QFileInfo(filePath()).absolutePath()));
        QFile file(filePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), qint64(bytes.size()));
    }
    const auto fileBytes = [this] {
        QFile file(filePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QStringList asked;
    QList<bool> answers;
    const auto ask = [&asked, &answers](const QString &title, const QString &text, const QString &accept) {
        asked << title + QStringLiteral(" | ") + accept + QStringLiteral(" | ") + text;
        return !answers.isEmpty() && answers.takeFirst();
    };
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("IgnoreList\\. The ignore list .*")));
    {
        // OK without a change saves nothing.
        CleanerIgnoreListDialog dialog(fixture_.assets());
        dialog.setAsk(ask);
        QVERIFY(!dialog.messageLabel()->isHidden());
        QVERIFY(!dialog.applyButton()->isEnabled());
        click(dialog, "ok");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.savedChanges());
        QVERIFY(asked.isEmpty());
        QVERIFY(fileBytes() == bytes);
    }
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("IgnoreList\\. The ignore list .*")));
    {
        // A change is saved over it only after a yes.
        CleanerIgnoreListDialog dialog(fixture_.assets());
        dialog.setAsk(ask);
        dialog.show();
        dialog.patternEditor()->setPlainText(QStringLiteral("/sounds/*"));
        answers << false;
        click(dialog, "ok");
        QCOMPARE(asked.size(), 1);
        QVERIFY2(asked.first().startsWith(QStringLiteral("Replace Ignore List | Replace | ")),
                 qPrintable(asked.first()));
        QVERIFY2(asked.first().contains(QStringLiteral("larger than")), qPrintable(asked.first()));
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.applyButton()->isEnabled());
        QVERIFY(fileBytes() == bytes);
        answers << true;
        click(dialog, "apply");
        QCOMPARE(asked.size(), 2);
        QVERIFY(dialog.savedChanges());
        QCOMPARE(fileBytes(), QByteArray("/sounds/*"));
        // Once replaced, the file is the user's list again: no more asking.
        dialog.patternEditor()->setPlainText(QStringLiteral("/other/*"));
        click(dialog, "apply");
        QCOMPARE(asked.size(), 2);
        QCOMPARE(fileBytes(), QByteArray("/other/*"));
    }
    QVERIFY(QFile::remove(filePath()));
    QVERIFY(QFile::link(dir_.path() + QStringLiteral("/nowhere"), filePath()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("IgnoreList\\. The ignore list .*")));
    {
        // "Restore Defaults" over a file that could not be read is a change
        // although the editor already shows the defaults.
        CleanerIgnoreListDialog dialog(fixture_.assets());
        dialog.setAsk(ask);
        click(dialog, "restoreDefaults");
        QVERIFY(dialog.applyButton()->isEnabled());
        answers << true;
        click(dialog, "ok");
        QCOMPARE(asked.size(), 3);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!QFileInfo(filePath()).isSymLink());
    }
}

void IgnoreListDialogTest::a_failed_save_is_shown_and_keeps_apply_enabled()
{
    // A folder where the file should be: it cannot be written.
    QVERIFY(QDir().mkpath(filePath()));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("IgnoreList\\. The ignore list .*")));
    CleanerIgnoreListDialog dialog(fixture_.assets());
    int asked = 0;
    dialog.setAsk([&asked](const QString &, const QString &, const QString &) { return ++asked > 0; });
    dialog.show();
    dialog.patternEditor()->setPlainText(QStringLiteral("/sounds/*"));
    QVERIFY(!dialog.apply());
    QCOMPARE(asked, 1);
    QVERIFY(dialog.applyButton()->isEnabled());
    QVERIFY(!dialog.messageLabel()->isHidden());
    QVERIFY2(dialog.messageLabel()->text().contains(QStringLiteral("could not be saved")),
             qPrintable(dialog.messageLabel()->text()));
    QVERIFY(!dialog.savedChanges());
    click(dialog, "ok");
    QVERIFY(dialog.isVisible()); // OK does not close on a failed save
    QVERIFY(QFileInfo(filePath()).isDir());
}

QTEST_MAIN(IgnoreListDialogTest)
#include "tst_cleaner_ignore_list_dialog.moc"
