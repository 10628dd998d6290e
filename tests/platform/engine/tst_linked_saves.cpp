// A document whose name is a symbolic link: saved through a link to a file
// inside the data folder (that file written whole, the link kept), refused
// for a link leading outside, nowhere or round in a loop. A file system that
// stores no modes does not fail a save over an existing file.

#include "engine_runtime_fixture.h"
#include "file_size_limit.h"
#include "file_system_quirks.h"

#include "velmora/Xml.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Velmora;

namespace {

const QByteArray OLD_BYTES("<track version=\"0\"/>\n");

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

QString linkText(const QString &link)
{
    char text[4096];
    const ssize_t size = ::readlink(QFile::encodeName(link).constData(), text, sizeof(text));
    return size < 0 ? QString() : QFile::decodeName(QByteArray(text, int(size)));
}

bool saveTrack(const QString &path, String *error = nullptr)
{
    Xml track("track");
    track.setArg("version", "1");
    track.addChild("parameter")->setArg("type", "node.transform");
    enginetest::LogCapture log;
    return track.save(path.toUtf8().constData(), error);
}

} // namespace

class TestLinkedSaves : public QObject
{
    Q_OBJECT

    QTemporaryDir root_;
    // The installation's data folder is reached through a link of its own:
    // the comparison must see both sides resolved.
    enginetest::Installation installation_;
    QString data_; // through the link, ending with "/"

private slots:
    void initTestCase()
    {
        data_ = root_.filePath(QStringLiteral("data")) + QLatin1Char('/');
        QVERIFY(QFile::link(installation_.dataPath(), root_.filePath(QStringLiteral("data"))));
        QVERIFY(installation_.writeData(QStringLiteral("tracks/real.track"), OLD_BYTES));
        QVERIFY(installation_.writeData(QStringLiteral("shared/deep.track"), OLD_BYTES));
        QVERIFY(installation_.start({QStringLiteral("-data_path"), data_}));
        QCOMPARE(QString::fromUtf8(Engine::get()->getDataPath().get()), data_);
    }
    void cleanupTestCase() { installation_.stop(); }

    void a_link_inside_the_data_folder_saves_its_target_and_stays_a_link_data()
    {
        QTest::addColumn<QString>("link"); // data-relative
        QTest::addColumn<QString>("leads_to"); // what the link holds
        QTest::addColumn<QString>("target"); // data-relative file written
        QTest::newRow("beside it") << "tracks/a.track"
                                   << "real.track"
                                   << "tracks/real.track";
        QTest::newRow("another folder, absolute") << "tracks/b.track"
                                                  << "@shared/deep.track"
                                                  << "shared/deep.track";
        QTest::newRow("by the real path of the data folder") << "tracks/c.track"
                                                             << "!tracks/real.track"
                                                             << "tracks/real.track";
        QTest::newRow("a link to a link") << "tracks/d.track"
                                          << "a.track"
                                          << "tracks/real.track";
    }
    void a_link_inside_the_data_folder_saves_its_target_and_stays_a_link()
    {
        QFETCH(QString, link);
        QFETCH(QString, leads_to);
        QFETCH(QString, target);
        if (leads_to.startsWith(QLatin1Char('@')))
            leads_to = data_ + leads_to.mid(1);
        else if (leads_to.startsWith(QLatin1Char('!')))
            leads_to = installation_.dataPath() + leads_to.mid(1);
        QFile::remove(data_ + link);
        QVERIFY(QFile::link(leads_to, data_ + link));
        QVERIFY(test::writeFile(data_ + target, OLD_BYTES));
        ::chmod(QFile::encodeName(data_ + target).constData(), 0640);
        const QStringList entries = test::folderEntries(QFileInfo(data_ + target).absolutePath());

        String error;
        QVERIFY2(saveTrack(data_ + link, &error), error.get());
        QVERIFY(QFileInfo(data_ + link).isSymLink());
        QCOMPARE(linkText(data_ + link), leads_to);
        QVERIFY(contents(data_ + target).contains("node.transform"));
        // The target keeps its mode.
        struct stat info;
        QCOMPARE(::stat(QFile::encodeName(data_ + target).constData(), &info), 0);
        QCOMPARE(int(info.st_mode & 07777), 0640);
        // The temporary file was made beside the target and is gone.
        QCOMPARE(test::folderEntries(QFileInfo(data_ + target).absolutePath()), entries);
    }

    void a_link_leading_outside_nowhere_or_in_a_loop_is_refused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("outside") << "outside"
                                 << "leads outside the data folder";
        QTest::newRow("outside, beside the data folder's real path") << "sibling"
                                                                     << "leads outside the data folder";
        QTest::newRow("dangling, inside") << "dangling"
                                          << "leads nowhere";
        QTest::newRow("loop") << "loop"
                              << "loop of symbolic links";
        QTest::newRow("to a folder") << "folder"
                                     << "not a plain file";
    }
    void a_link_leading_outside_nowhere_or_in_a_loop_is_refused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const QString link = data_ + QStringLiteral("tracks/refused.track");
        QFile::remove(link);
        // "data-x" beside the real data folder starts with its name.
        const QString outside = kind == QLatin1String("sibling")
                ? installation_.root() + QStringLiteral("data-x/kept.track")
                : root_.filePath(QStringLiteral("kept.track"));
        QVERIFY(test::writeFile(outside, OLD_BYTES));
        if (kind == QLatin1String("outside") || kind == QLatin1String("sibling"))
            QVERIFY(QFile::link(outside, link));
        else if (kind == QLatin1String("dangling"))
            QVERIFY(QFile::link(data_ + QStringLiteral("tracks/missing.track"), link));
        else if (kind == QLatin1String("loop"))
            QVERIFY(QFile::link(link, link));
        else
            QVERIFY(QFile::link(data_ + QStringLiteral("shared"), link));
        const QStringList entries = test::folderEntries(data_ + QStringLiteral("tracks"));
        const QStringList outside_entries = test::folderEntries(QFileInfo(outside).absolutePath());

        String error;
        QVERIFY(!saveTrack(link, &error));
        QVERIFY2(QString::fromUtf8(error.get()).contains(reason), error.get());
        QCOMPARE(contents(outside), OLD_BYTES);
        QVERIFY(!QFileInfo::exists(data_ + QStringLiteral("tracks/missing.track")));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(test::folderEntries(data_ + QStringLiteral("tracks")), entries);
        QCOMPARE(test::folderEntries(QFileInfo(outside).absolutePath()), outside_entries);
    }

    void a_full_disk_or_a_read_only_target_keeps_the_target_behind_a_link()
    {
        const QString link = data_ + QStringLiteral("tracks/full.track");
        const QString target = data_ + QStringLiteral("shared/deep.track");
        QFile::remove(link);
        QVERIFY(QFile::link(target, link));
        QVERIFY(test::writeFile(target, OLD_BYTES));
        const QStringList entries = test::folderEntries(data_ + QStringLiteral("shared"));
        {
            test::FileSizeLimit limit(8);
            QVERIFY(limit.isActive());
            QVERIFY(!saveTrack(link));
        }
        QCOMPARE(contents(target), OLD_BYTES);
        QCOMPARE(test::folderEntries(data_ + QStringLiteral("shared")), entries);

        // A read-only file stops no one with root's rights.
        if (::geteuid() != 0) {
            QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner));
            String error;
            QVERIFY(!saveTrack(link, &error));
            QVERIFY2(QString::fromUtf8(error.get()).contains(QLatin1String("not writable")), error.get());
            QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        }
        QCOMPARE(contents(target), OLD_BYTES);
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void a_file_system_without_modes_does_not_fail_a_save_data()
    {
        QTest::addColumn<int>("error");
        QTest::newRow("EPERM") << EPERM;
        QTest::newRow("ENOSYS") << ENOSYS;
        QTest::newRow("EOPNOTSUPP") << int(EOPNOTSUPP);
    }
    void a_file_system_without_modes_does_not_fail_a_save()
    {
        QFETCH(int, error);
        const QString path = data_ + QStringLiteral("tracks/on_fat.track");
        QVERIFY(test::writeFile(path, OLD_BYTES));
        {
            test::NoLinksOrModes fat(error);
            String reason;
            QVERIFY2(saveTrack(path, &reason), reason.get());
            QVERIFY(fat.refusedCalls() > 0);
        }
        QVERIFY(contents(path).contains("node.transform"));
        QVERIFY(!QFileInfo(path).isSymLink());

        // Any other failure of the mode change still fails the save.
        QVERIFY(test::writeFile(path, OLD_BYTES));
        {
            test::NoLinksOrModes broken(EIO);
            QVERIFY(!saveTrack(path));
        }
        QCOMPARE(contents(path), OLD_BYTES);
    }
};

QTEST_GUILESS_MAIN(TestLinkedSaves)
#include "tst_linked_saves.moc"
