// Saving the cleaner's ignore file when the disk is full or its name is a
// link: the old file stays as it was and the caller is told why.

#include "cleaner_fixture.h"
#include "file_size_limit.h"
#include "project_builder.h"

#include <editor/cleaner/ignore_list/ignore_list.h>
#include <editor/cleaner/ignore_list/ignore_list_file.h>

#include <QFile>
#include <QtTest>

using cleaner::IgnoreList;
using cleaner::IgnoreListFile;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class IgnoreFileWritesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        test::ProjectBuilder project(dir_.path());
        project.asset("textures/a.png", "png", "{a001}", 6);
        QVERIFY(project.ok());
        QVERIFY(fixture_.start(project.dataPath()));
        QVERIFY(QDir().mkpath(QFileInfo(IgnoreListFile::filePath()).absolutePath()));
    }
    void cleanupTestCase() { fixture_.stop(); }

    void a_save_that_does_not_fit_or_names_a_link_keeps_the_old_file()
    {
        const QString path = IgnoreListFile::filePath();
        const QString folder = QFileInfo(path).absolutePath();
        const QByteArray old_bytes("/keep/this/*\n/and/that/*");
        QVERIFY(writeRaw(path, old_bytes));
        const QStringList entries = test::folderEntries(folder);
        QString error;
        {
            // A short list: its bytes would still sit in a write buffer when
            // the file is closed.
            test::FileSizeLimit limit(4);
            QVERIFY(limit.isActive());
            QVERIFY(!IgnoreList::save({QStringLiteral("/new/*")}, &error));
        }
        QVERIFY(error.contains(QDir::toNativeSeparators(path)));
        QCOMPARE(contents(path), old_bytes);
        QCOMPARE(test::folderEntries(folder), entries);

        QTemporaryDir outside;
        const QString target = outside.filePath(QStringLiteral("patterns.txt"));
        QVERIFY(writeRaw(target, old_bytes));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(target, path));
        error.clear();
        QVERIFY(!IgnoreListFile::write(QStringLiteral("/new/*"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(contents(target), old_bytes);
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(test::folderEntries(folder), entries);
        QVERIFY(QFile::remove(path));
    }

private:
    QTemporaryDir dir_;
    inastest::AnalysisFixture fixture_;
};

QTEST_GUILESS_MAIN(IgnoreFileWritesTest)
#include "tst_ignore_file_writes.moc"
