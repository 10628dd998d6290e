// The look, before a deletion, at whether anything a collection read has
// changed since: a list large enough to be shared out to threads, with the
// threads to be had, with none, and with fewer than asked for.

#include <core/base/thread_group.h>
#include <editor/cleaner/collector/read_stamps.h>

#include "thread_limit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

QTEST_GUILESS_MAIN(ReadStampsTest)
#include "tst_read_stamps.moc"
