// The look, before a deletion, at whether anything a collection read has
// changed since: a list large enough to be shared out to threads, with the
// threads to be had, with none, and with fewer than asked for.

#include <core/base/thread_group.h>
#include <editor/cleaner/collector/read_stamps.h>

#include "thread_limit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int FILES = 6000; // beyond what one thread looks at alone

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

class ReadStampsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void the_first_change_in_list_order_is_told_data();
    void the_first_change_in_list_order_is_told();
    void a_file_that_can_use_assets_added_or_removed_is_told_data();
    void a_file_that_can_use_assets_added_or_removed_is_told();

private:
    QString path(int i) const { return dir_.filePath(QStringLiteral("f%1").arg(i)); }
    QTemporaryDir dir_;
};

void ReadStampsTest::initTestCase()
{
    QVERIFY(dir_.isValid());
    for (int i = 0; i < FILES; ++i)
        QVERIFY(writeFile(path(i), QByteArray::number(i)));
}

void ReadStampsTest::the_first_change_in_list_order_is_told_data()
{
    // threads: -1 as many as asked for, 0 none (every start refused), n at
    // most n of its own. changed: the files that change, in no order.
    QTest::addColumn<int>("threads");
    QTest::addColumn<QList<int>>("changed");
    QTest::addColumn<bool>("first_owner_gone");
    QTest::addColumn<int>("told");
    const QList<int> late_and_early{5900, 4100, 4600};
    QTest::newRow("nothing changed") << -1 << QList<int>() << false << -1;
    QTest::newRow("threads to be had") << -1 << late_and_early << false << 4100;
    QTest::newRow("no thread to be had") << 0 << late_and_early << false << 4100;
    QTest::newRow("one thread to be had") << 1 << late_and_early << false << 4100;
    QTest::newRow("nothing changed, no thread to be had") << 0 << QList<int>() << false << -1;
    QTest::newRow("the first change is of an asset gone since") << 1 << late_and_early << true << 4600;
}

void ReadStampsTest::the_first_change_in_list_order_is_told()
{
    QFETCH(int, threads);
    QFETCH(QList<int>, changed);
    QFETCH(bool, first_owner_gone);
    QFETCH(int, told);

    const Velmora::UGUID owner("1111111111111111111111111111111111111111");
    cleaner::ReadStamps stamps;
    stamps.reserve(FILES);
    for (int i = 0; i < FILES; ++i)
        stamps.add(path(i), i == 4100 ? owner : Velmora::UGUID());
    for (int i : changed)
        QVERIFY(writeFile(path(i), "changed since"));
    QSet<Velmora::UGUID> gone;
    if (first_owner_gone)
        gone.insert(owner);

    QString first;
    {
        const int refused_before = base::ThreadGroup::refusals();
        const test::ThreadsAllowed allowed(threads);
        first = stamps.firstChange(gone);
        QCOMPARE(base::ThreadGroup::refusals() > refused_before, threads >= 0);
    }
    QCOMPARE(first, told < 0 ? QString() : path(told));

    for (int i : changed)
        QVERIFY(writeFile(path(i), QByteArray::number(i)));
}

void ReadStampsTest::a_file_that_can_use_assets_added_or_removed_is_told_data()
{
    // The folder holds worlds/level.world (an asset), worlds/linked.world
    // (no asset), textures/a.png, the empty folder empty/ and the link
    // worlds/old -> ../textures.
    // "+path": added, "-path": removed, "+path/": a folder, "=path": added
    // with the times of its folder put back, ">path=target": a link made
    // (or pointed elsewhere).
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("told"); // the file changed
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("world added") << "+worlds/added.world" << true;
    QTest::newRow("world added, upper-case extension") << "+worlds/ADDED.WORLD" << true;
    QTest::newRow("world added to an empty folder") << "+empty/added.world" << true;
    QTest::newRow("world added in a new folder") << "+levels/deep/added.world" << true;
    QTest::newRow("world added, the folder's times put back") << "=worlds/added.world" << true;
    QTest::newRow("image added") << "+textures/b.png" << false;
    QTest::newRow("new empty folder") << "+levels/" << false;
    QTest::newRow("hidden world added") << "+worlds/.added.world" << false;
    QTest::newRow("meta file added") << "+worlds/added.world.meta" << false;
    QTest::newRow("world that is no asset removed") << "-worlds/linked.world" << true;
    QTest::newRow("asset world removed (its own stamp tells)") << "-worlds/level.world" << false;
    QTest::newRow("link to a folder added") << ">worlds/more=../empty" << true;
    QTest::newRow("link to an image added") << ">textures/b.png=a.png" << true;
    QTest::newRow("link to a folder removed") << "-worlds/old" << true;
    QTest::newRow("link to a folder pointed elsewhere") << ">worlds/old=../empty" << true;
}

void ReadStampsTest::a_file_that_can_use_assets_added_or_removed_is_told()
{
    QFETCH(QString, change);
    QFETCH(bool, told);
    QTemporaryDir dir;
    const QString root = dir.path() + QStringLiteral("/data/");
    for (const char *folder : {"worlds", "textures", "empty"})
        QVERIFY(QDir().mkpath(root + QLatin1String(folder)));
    QVERIFY(writeFile(root + QStringLiteral("worlds/level.world"), "<world/>"));
    QVERIFY(writeFile(root + QStringLiteral("worlds/linked.world"), "<world/>"));
    QVERIFY(writeFile(root + QStringLiteral("textures/a.png"), "png"));
    QVERIFY(QFile::link(QStringLiteral("../textures"), root + QStringLiteral("worlds/old")));

    cleaner::ReadStamps stamps;
    stamps.addFolders(root, {QStringLiteral("world"), QStringLiteral("node")},
                      {root + QStringLiteral("worlds/level.world")});
    QCOMPARE(stamps.firstChange(), QString());

    struct stat folder_before;
    QVERIFY(::stat(QFile::encodeName(root + QStringLiteral("worlds")).constData(), &folder_before) == 0);
    QTest::qWait(20); // past the clock's step, so that the folders' times move
    if (change.startsWith(QLatin1Char('='))) {
        // As touch -r or cp -p on the folder would: only its change time
        // still moves.
        QVERIFY(writeFile(root + change.mid(1), "<world/>"));
        const struct timespec times[2] = {folder_before.st_atim, folder_before.st_mtim};
        QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(root + QStringLiteral("worlds")).constData(), times, 0) == 0);
    } else if (change.startsWith(QLatin1Char('>'))) {
        const int equals = change.indexOf(QLatin1Char('='));
        const QString link = root + change.mid(1, equals - 1);
        QFile::remove(link);
        QVERIFY(QFile::link(change.mid(equals + 1), link));
        change.truncate(equals);
    } else if (change.startsWith(QLatin1Char('-'))) {
        QVERIFY(QFile::remove(root + change.mid(1)));
    } else if (change.endsWith(QLatin1Char('/'))) {
        QVERIFY(QDir().mkpath(root + change.mid(1)));
    } else if (!change.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(root + change.mid(1)).absolutePath()));
        QVERIFY(writeFile(root + change.mid(1), "<world/>"));
    }
    QCOMPARE(stamps.firstChange(), told ? root + change.mid(1) : QString());
}

QTEST_GUILESS_MAIN(ReadStampsTest)
#include "tst_read_stamps.moc"
