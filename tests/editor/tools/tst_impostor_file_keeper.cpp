// Keeping a file's earlier contents beside it and swapping them back, as the
// undo step of an impostor re-run does, on plain folders and on hostile ones.

#include "file_size_limit.h"
#include "file_system_quirks.h"

#include "core/base/kept_files_journal.h"
#include "editor/tools/file_keeper.h"
#include "editor/tools/texture_swap_action.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <functional>
#include <memory>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using base::KeptFilesJournal;
using Impostors::FileKeeper;
using Impostors::TextureSwapAction;

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeWhole(const QString &path, const QByteArray &bytes)
{
    // As the image writer does: a new file takes the name.
    const QString temporary = QFileInfo(path).path() + QStringLiteral("/.new");
    QFile file(temporary);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush()
            && (file.close(), ::rename(QFile::encodeName(temporary), QFile::encodeName(path)) == 0);
}

// Runs body in a child process as an ordinary user (nobody, when this one
// is root, after giving it the folder); its exit code, 0 for success.
int asOrdinaryUser(const QString &folder, const std::function<int()> &body)
{
    const bool root = ::geteuid() == 0;
    const uid_t nobody = 65534;
    if (root && std::system(qPrintable(QStringLiteral("chown -R %1:%1 '%2'").arg(nobody).arg(folder))) != 0)
        return 100;
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(101);
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 102;
    return WEXITSTATUS(status);
}

// A whole image's worth of bytes, different for each version.
QByteArray version(char letter)
{
    return QByteArray(200000, letter);
}

} // namespace

class tst_ImpostorFileKeeper : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void without_links_the_earlier_contents_are_copied_and_swapped_by_renames();
    void a_read_only_folder_swaps_nothing_and_says_which();
    void the_journal_tells_the_next_start_what_to_put_back_data();
    void the_journal_tells_the_next_start_what_to_put_back();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
};

void tst_ImpostorFileKeeper::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    folder_ = dir_->path() + QStringLiteral("/impostors/");
    QVERIFY(QDir().mkpath(folder_));
}

void tst_ImpostorFileKeeper::without_links_the_earlier_contents_are_copied_and_swapped_by_renames()
{
    // A plain folder and a full disk while swapping are tried with a whole
    // re-run in the impostor window's test; FAT cannot run one (its saves
    // over a file fail for now), so its keeping and swapping are tried here.
    const QString path = folder_ + QStringLiteral("tree_alb.tga");
    QVERIFY(writeWhole(path, version('a')));
    test::NoLinksOrModes fat;
    QString kept;
    QString error;
    QVERIFY2(FileKeeper::keep(path, &kept, &error), qPrintable(error));
    QVERIFY(QFileInfo(kept).fileName().startsWith(QStringLiteral(".tree_alb.tga.")));
    QVERIFY(writeWhole(path, version('b')));
    QCOMPARE(bytesOf(kept), version('a'));
    {
        TextureSwapAction action({{path, kept}}, nullptr);
        for (int round = 0; round < 2; ++round) {
            action.undo();
            QVERIFY(action.failed().isEmpty());
            QCOMPARE(bytesOf(path), version('a'));
            action.redo();
            QCOMPARE(bytesOf(path), version('b'));
        }
        action.undo();
        // The name, one kept file and the journal of the last swap.
        QCOMPARE(test::folderEntries(folder_).size(), 3);
    }
    QVERIFY(fat.refusedCalls() >= 6); // the link of the run, then of each swap
    // The step left the history: its kept file (the run's version now) goes.
    QCOMPARE(test::folderEntries(folder_), QStringList{QStringLiteral("tree_alb.tga")});
    QCOMPARE(bytesOf(path), version('a'));
}

void tst_ImpostorFileKeeper::a_read_only_folder_swaps_nothing_and_says_which()
{
    const QString alb = folder_ + QStringLiteral("tree_alb.tga");
    const QString sh = folder_ + QStringLiteral("tree_sh.tga");
    QVector<TextureSwapAction::File> files;
    for (const QString &path : {alb, sh}) {
        QVERIFY(writeWhole(path, version('a')));
        QString kept;
        QString error;
        QVERIFY(FileKeeper::keep(path, &kept, &error));
        QVERIFY(writeWhole(path, version('b')));
        files.append({path, kept});
    }
    // The folder is made read-only for a user the permissions bind (root
    // writes anyway): a child process of that user does the swaps.
    const int code = asOrdinaryUser(dir_->path(), [&]() {
        if (!QFile::setPermissions(folder_, QFile::ReadOwner | QFile::ExeOwner))
            return 1;
        TextureSwapAction action(files, nullptr);
        for (bool fat : {false, true}) {
            std::unique_ptr<test::NoLinksOrModes> quirks(fat ? new test::NoLinksOrModes : nullptr);
            action.undo();
            if (action.failed() != QStringList{alb, sh} || action.unchangedBecause().isEmpty())
                return 2;
            if (bytesOf(alb) != version('b') || bytesOf(sh) != version('b'))
                return 3;
        }
        if (!QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return 4;
        // Writable again: the undo that failed can be made.
        action.undo();
        if (!action.failed().isEmpty() || !action.unchangedBecause().isEmpty() || bytesOf(alb) != version('a')
            || test::folderEntries(folder_).size() != 5)
            return 5;
        return 0;
    });
    QCOMPARE(code, 0);
}

void tst_ImpostorFileKeeper::the_journal_tells_the_next_start_what_to_put_back_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("finished");
    QTest::newRow("killed half way") << "plain" << false;
    QTest::newRow("finished, kept for undo") << "plain" << true;
    QTest::newRow("killed half way, the folder given through a link") << "link" << false;
    QTest::newRow("killed half way, no links or modes") << "fat" << false;
    QTest::newRow("finished, no links or modes") << "fat" << true;
    QTest::newRow("a full disk: nothing recorded, nothing left") << "full" << false;
    QTest::newRow("a kept name of another process listed: left as it is") << "foreign" << false;
    QTest::newRow("killed half way, then the written file edited: it stays") << "edited" << false;
    QTest::newRow("killed half way, names of 255 bytes") << "long" << false;
    QTest::newRow("finished, names of 255 bytes") << "long" << true;
}

void tst_ImpostorFileKeeper::the_journal_tells_the_next_start_what_to_put_back()
{
    QFETCH(QString, how);
    QFETCH(bool, finished);
    QString folder = folder_;
    if (how == "link") {
        folder = dir_->path() + QStringLiteral("/linked/");
        QVERIFY(QFile::link(folder_, dir_->path() + QStringLiteral("/linked")));
    }
    // The longest names a file system takes, one cut within a character.
    const QStringList names = how == "long"
            ? QStringList{QString(251, QLatin1Char('a')) + QStringLiteral(".tga"),
                          QStringLiteral("lamp_") + QString(122, QChar(0xe4)) + QStringLiteral(".tga")}
            : QStringList{QStringLiteral("lamp_alb.tga"), QStringLiteral("lamp_sh.tga")};
    for (const QString &name : names)
        QVERIFY(writeWhole(folder_ + name, version('a')));
    std::unique_ptr<test::NoLinksOrModes> fat(how == "fat" ? new test::NoLinksOrModes : nullptr);
    std::unique_ptr<test::FileSizeLimit> full(how == "full" ? new test::FileSizeLimit(0) : nullptr);
    KeptFilesJournal journal(folder, QStringLiteral("impostor"));
    for (const QString &name : names) {
        QString kept;
        QString error;
        QVERIFY2(FileKeeper::keep(folder + name, &kept, &error), qPrintable(error));
        if (!journal.add(folder + name, kept, &error)) {
            // Not recorded: the file must not be written over.
            QVERIFY(full);
            FileKeeper::discard(kept);
            break;
        }
        if (name == names.last() && !finished)
            break; // killed once the second is kept, before it is written
        QVERIFY2(journal.expect(folder + name, version('b'), &error), qPrintable(error));
        QVERIFY(writeWhole(folder + name, version('b')));
    }
    QString error;
    QVERIFY(!finished || journal.finish(&error));
    full.reset();
    fat.reset();
    if (how == "full") {
        QCOMPARE(test::folderEntries(folder_), names);
        QCOMPARE(bytesOf(folder_ + names.first()), version('a'));
        return;
    }
    QCOMPARE(test::folderEntries(folder_).size(), 2 + names.size() + 1);
    const QString journal_path = folder_ + QFileInfo(journal.path()).fileName();
    if (how == "foreign") {
        // The first kept name made to carry another process's id, in the
        // journal too: nothing of it is acted on, nor the journal removed.
        const QString kept = test::folderEntries(folder_).filter(QStringLiteral(".lamp_alb.tga.")).value(0);
        const QString pid = QString::number(::getpid());
        QString other = kept;
        other.replace(QStringLiteral("-%1-").arg(pid), QStringLiteral("-%1-").arg(::getpid() + 1));
        QVERIFY(kept != other && QFile::rename(folder_ + kept, folder_ + other));
        QVERIFY(writeWhole(journal_path, bytesOf(journal_path).replace(kept.toUtf8(), other.toUtf8())));
        QVERIFY(!KeptFilesJournal::recover(journal_path).resolved);
        QVERIFY(QFile::exists(folder_ + other) && QFile::exists(journal_path));
        QCOMPARE(bytesOf(folder_ + names.first()), version('b'));
        return;
    }
    if (how == "edited") {
        // Changed by the user after the kill: neither it nor its earlier
        // contents are written over, and the journal stays to say so again.
        const QString kept = folder_ + test::folderEntries(folder_).filter(QStringLiteral(".lamp_alb.tga.")).value(0);
        QVERIFY(writeWhole(folder_ + names.first(), "the user's"));
        const KeptFilesJournal::Recovery recovery = KeptFilesJournal::recover(journal_path);
        QVERIFY(!recovery.resolved && recovery.put_back.isEmpty());
        QCOMPARE(recovery.changed.size(), 1);
        QCOMPARE(recovery.changed[0].file, folder_ + names.first());
        QCOMPARE(recovery.changed[0].kept, kept);
        QCOMPARE(bytesOf(folder_ + names.first()), QByteArray("the user's"));
        QCOMPARE(bytesOf(kept), version('a'));
        QVERIFY(QFile::exists(journal_path));
        QCOMPARE(test::folderEntries(folder_).size(), 2 + 1 + 1);
        return;
    }
    // The next start, in the real folder.
    const KeptFilesJournal::Recovery recovery = KeptFilesJournal::recover(journal_path);
    QVERIFY(recovery.resolved);
    QCOMPARE(test::folderEntries(folder_), names);
    // Killed half way, the first was written over (the second only kept).
    QCOMPARE(recovery.put_back.value(0), finished ? QString() : folder_ + names.first());
    for (const QString &name : names)
        QCOMPARE(bytesOf(folder_ + name), version(finished ? 'b' : 'a'));
}

QTEST_GUILESS_MAIN(tst_ImpostorFileKeeper)
#include "tst_impostor_file_keeper.moc"
