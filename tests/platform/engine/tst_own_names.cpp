#include "killed_process.h"

#include <velmora/OwnNames.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// folder seen at path through a FUSE file system that keeps its locks to
// itself, as a share mounted from another machine may: a lock taken on the
// folder itself does not show through it.
class LockKeepingView
{
public:
    LockKeepingView(const QString &folder, const QString &path)
        : path_(path)
    {
        mounted_ = !QStandardPaths::findExecutable(QStringLiteral("bindfs")).isEmpty() && QDir().mkpath(path)
                && QProcess::execute(QStringLiteral("bindfs"), {folder, path}) == 0;
    }
    ~LockKeepingView()
    {
        if (mounted_)
            QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"), path_});
    }
    bool mounted() const { return mounted_; }

private:
    QString path_;
    bool mounted_ = false;
};

} // namespace

class tst_OwnNames : public QObject
{
    Q_OBJECT

private slots:
    void an_owner_is_gone_only_where_its_claim_would_show_data();
    void an_owner_is_gone_only_where_its_claim_would_show();
};

void tst_OwnNames::an_owner_is_gone_only_where_its_claim_would_show_data()
{
    QTest::addColumn<bool>("through_view");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<bool>("may_run");
    QTest::newRow("the folder, its owner stopped") << false << true << false;
    // Whether the owner runs cannot be told there: what it made stays.
    QTest::newRow("through FUSE, its owner running") << true << false << true;
    QTest::newRow("through FUSE, its owner stopped") << true << true << true;
}

// An editor that runs elsewhere (in a container here: its process id means
// nothing on this machine) holds its claim on the data folder; a start
// looks at what it left in a subfolder.
void tst_OwnNames::an_owner_is_gone_only_where_its_claim_would_show()
{
    QFETCH(bool, through_view);
    QFETCH(bool, stopped);
    QFETCH(bool, may_run);
    QTemporaryDir root;
    const QString data = root.path() + QStringLiteral("/data");
    QVERIFY(QDir().mkpath(data + QStringLiteral("/worlds")));
    qint64 pid = 0;
    const std::unique_ptr<QProcess> owner = test::startInContainer(data, &pid);
    if (!owner)
        QSKIP("an editor in a container needs root, unshare and the claim holder");
    const LockKeepingView view(data, root.path() + QStringLiteral("/view"));
    if (through_view && !view.mounted())
        QSKIP("a FUSE file system needs bindfs and /dev/fuse");
    const std::string worlds = (root.path() + QStringLiteral("/data/worlds")).toStdString();
    QVERIFY(Velmora::OwnNames::ownerMayRun(worlds, pid));
    if (stopped) {
        owner->kill();
        owner->waitForFinished();
        QTRY_VERIFY(!Velmora::OwnNames::ownerMayRun(worlds, pid));
    }
    const QString seen_at = root.path() + (through_view ? QStringLiteral("/view") : QStringLiteral("/data"));
    QCOMPARE(Velmora::OwnNames::ownerMayRun((seen_at + QStringLiteral("/worlds")).toStdString(), pid), may_run);
    owner->kill();
    owner->waitForFinished();
}

QTEST_GUILESS_MAIN(tst_OwnNames)
#include "tst_own_names.moc"
