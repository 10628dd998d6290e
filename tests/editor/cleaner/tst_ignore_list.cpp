// The cleaner's ignore list: wildcard matching of whole keys, the default
// list, and the ignore file: exact bytes written, line breaks unified on
// load, and anything in its place that cannot be read (without waiting on it)
// or written told apart from an absent file.

#include "cleaner_fixture.h"
#include "file_size_limit.h"
#include "project_builder.h"

#include <editor/cleaner/ignore_list/ignore_list.h>
#include <editor/cleaner/ignore_list/ignore_list_file.h>

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using cleaner::IgnoreList;
using cleaner::IgnoreListFile;

class IgnoreListTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void a_pattern_matches_the_whole_key_as_a_unix_wildcard_data();
    void a_pattern_matches_the_whole_key_as_a_unix_wildcard();
    void a_long_list_costs_lookups_not_a_pass_over_every_pattern();
    void empty_entries_and_repeats_are_compiled_once_or_not_at_all();
    void the_default_list_keeps_screenshots_and_the_kept_types();
    void the_file_holds_exactly_the_joined_list_and_the_defaults_mean_no_file();
    void loading_unifies_line_breaks_data();
    void loading_unifies_line_breaks();
    void whatever_is_there_but_unreadable_is_a_failure_not_the_defaults_data();
    void whatever_is_there_but_unreadable_is_a_failure_not_the_defaults();
    void the_whole_file_is_read_up_to_the_limit_also_through_a_link();
    void a_failed_write_is_reported_and_no_link_leading_out_is_written_through();

private:
    void writeRaw(const QByteArray &bytes);
    QByteArray readRaw() const;

    QTemporaryDir dir_;
    inastest::AnalysisFixture fixture_;
};

void IgnoreListTest::initTestCase()
{
    test::ProjectBuilder project(dir_.path());
    project.asset("textures/a.png", "png", "{a001}", 6);
    QVERIFY(project.ok());
    QVERIFY(fixture_.start(project.dataPath()));
    QVERIFY(IgnoreListFile::filePath().startsWith(fixture_.dataPath()));
}

void IgnoreListTest::cleanupTestCase()
{
    fixture_.stop();
}

void IgnoreListTest::cleanup()
{
    QFile::remove(IgnoreListFile::filePath());
    QDir(IgnoreListFile::filePath()).removeRecursively();
    QFile::remove(fixture_.dataPath() + QStringLiteral(".tamsel2"));
    QDir(dir_.path() + QStringLiteral("/elsewhere")).removeRecursively();
}

void IgnoreListTest::writeRaw(const QByteArray &bytes)
{
    QDir().mkpath(fixture_.dataPath() + QStringLiteral(".tamsel2"));
    QFile file(IgnoreListFile::filePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray IgnoreListTest::readRaw() const
{
    QFile file(IgnoreListFile::filePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

void IgnoreListTest::a_pattern_matches_the_whole_key_as_a_unix_wildcard_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("matches");

    QTest::newRow("star crosses folders") << "/screenshots/*"
                                          << "/screenshots/x/y/a.png" << true;
    QTest::newRow("anchored at the start") << "/screenshots/*"
                                           << "/other/screenshots/a.png" << false;
    QTest::newRow("keys start with a slash") << "screenshots/*"
                                             << "/screenshots/a.png" << false;
    QTest::newRow("leading star is any folder") << "*.brush"
                                                << "/a/b/c.brush" << true;
    QTest::newRow("star and text: the whole tail") << "*.png"
                                                   << "/a.png.bak" << false;
    QTest::newRow("star and text across folders") << "*s/a.png"
                                                  << "/x/s/a.png" << true;
    QTest::newRow("two stars are no special rule") << "/**/a.png"
                                                   << "/a.png" << false;
    QTest::newRow("question mark is one character") << "/?.png"
                                                    << "//.png" << true;
    QTest::newRow("case-sensitive") << "*.PNG"
                                    << "/a.png" << false;
    QTest::newRow("trailing blank counts") << "/a.png "
                                           << "/a.png" << false;
    QTest::newRow("class with a range") << "/[a-c].png"
                                        << "/b.png" << true;
    QTest::newRow("caret negates") << "/[^ab].png"
                                   << "/c.png" << true;
    QTest::newRow("exclamation mark is literal") << "/[!ab].png"
                                                 << "/c.png" << false;
    QTest::newRow("bracket first in a class") << "/[]].png"
                                              << "/].png" << true;
    QTest::newRow("escaped star") << "/\\*.png"
                                  << "/*.png" << true;
    QTest::newRow("backslash before a letter") << "/a\\b.png"
                                               << "/a\\b.png" << true;
    QTest::newRow("regex characters are literal") << "/(x)+a{1}.png"
                                                  << "/(x)+a{1}.png" << true;
    QTest::newRow("no brace expansion") << "/{a,b}.png"
                                        << "/a.png" << false;
    QTest::newRow("a lone star matches all") << "*"
                                             << "/x/y" << true;
    QTest::newRow("a lone bracket is invalid") << "/a].png"
                                               << "/a].png" << false;
    QTest::newRow("an unclosed class is invalid") << "/[abc"
                                                  << "/[abc" << false;
    QTest::newRow("posix classes are invalid") << "/[[:digit:]].png"
                                               << "/1.png" << false;
}

void IgnoreListTest::a_pattern_matches_the_whole_key_as_a_unix_wildcard()
{
    QFETCH(QString, pattern);
    QFETCH(QString, key);
    QFETCH(bool, matches);
    const bool invalid = !QRegExp(pattern, Qt::CaseSensitive, QRegExp::WildcardUnix).isValid();
    if (invalid)
        QTest::ignoreMessage(
                QtWarningMsg,
                qPrintable(QStringLiteral("IgnoreList. This pattern ( \"%1\" ) is not valid.")
                                   .arg(QString(pattern).replace(QLatin1String("\\"), QLatin1String("\\\\")))));
    IgnoreList list;
    list.setPatterns({pattern});
    QCOMPARE(list.compiledCount(), invalid ? 0 : 1);
    QCOMPARE(list.matches(key), matches);
    if (invalid)
        return;
    // Among thousands of other patterns of every shape it decides the same.
    QStringList long_list;
    for (int i = 0; i < 2000; ++i)
        long_list << QStringLiteral("/zz%1/*.png").arg(i) << QStringLiteral("*_zz%1.mesh").arg(i)
                  << QStringLiteral("*zz%1*q").arg(i) << QStringLiteral("/a/zz%1.png").arg(i);
    long_list.insert(long_list.size() / 2, pattern);
    list.setPatterns(long_list);
    QCOMPARE(list.matches(key), matches);
}

void IgnoreListTest::a_long_list_costs_lookups_not_a_pass_over_every_pattern()
{
    QStringList patterns;
    QStringList keys;
    for (int i = 0; i < 20000; ++i) {
        patterns << QStringLiteral("/folder_%1/*.png").arg(i) << QStringLiteral("*_%1.mesh").arg(i);
        keys << QStringLiteral("/folder_%1/a/b.png").arg(i * 7) << QStringLiteral("/m/x_%1.mesh").arg(i * 3)
             << QStringLiteral("/other/%1.tex").arg(i);
    }
    IgnoreList list;
    QElapsedTimer timer;
    timer.start();
    list.setPatterns(patterns);
    int matched = 0;
    for (const QString &key : keys)
        matched += list.matches(key);
    // One expression per pattern and key takes minutes here.
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(matched, 20000 / 7 + 1 + 20000 / 3 + 1);
}

void IgnoreListTest::empty_entries_and_repeats_are_compiled_once_or_not_at_all()
{
    IgnoreList list;
    list.setPatterns({QString(), QStringLiteral("\n"), QStringLiteral("\r"), QStringLiteral("*.png"),
                      QStringLiteral("*.png"), QStringLiteral("/a/*")});
    QCOMPARE(list.compiledCount(), 2);
    QVERIFY(list.matches(QStringLiteral("/x.png")));
    QVERIFY(list.matches(QStringLiteral("/a/b.mesh")));
    QVERIFY(!list.matches(QStringLiteral("/b/b.mesh")));
    list.setPatterns({});
    QVERIFY(!list.matches(QStringLiteral("/x.png")));
}

void IgnoreListTest::the_default_list_keeps_screenshots_and_the_kept_types()
{
    QCOMPARE(IgnoreList::defaultPatterns(),
             QStringList({"/screenshots/*", "*.brush", "*.cs", "*.curve", "*.otf", "*.preset", "*.prop", "*.render",
                          "*.spline", "*.track", "*.ttf", "*.txt", "*.usc", "*.world"}));
}

void IgnoreListTest::the_file_holds_exactly_the_joined_list_and_the_defaults_mean_no_file()
{
    QCOMPARE(IgnoreList::load(), IgnoreList::defaultPatterns());
    const QStringList custom{QStringLiteral("/keep/*"), QString(), QStringLiteral("*.m\u00e4sh")};
    QString error;
    QVERIFY(IgnoreList::save(custom, &error));
    QCOMPARE(readRaw(), QByteArray("/keep/*\n\n*.m\xc3\xa4sh"));
    QCOMPARE(IgnoreList::load(), custom);

    QVERIFY(IgnoreList::save(IgnoreList::defaultPatterns(), &error));
    QVERIFY(!QFile::exists(IgnoreListFile::filePath()));
    QCOMPARE(IgnoreList::load(), IgnoreList::defaultPatterns());

    // An empty file is an empty list, not the defaults.
    writeRaw(QByteArray());
    QCOMPARE(IgnoreList::load(), QStringList{QString()});
}

void IgnoreListTest::loading_unifies_line_breaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("patterns");
    QTest::newRow("CR LF") << QByteArray("/a/*\r\n*.png") << QStringList{"/a/*", "*.png"};
    QTest::newRow("lone CR") << QByteArray("/a/*\r*.png") << QStringList{"/a/*", "*.png"};
    QTest::newRow("line separators") << QByteArray("/a/*\xe2\x80\xa8*.png\xe2\x80\xa9/b")
                                     << QStringList{"/a/*", "*.png", "/b"};
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbf/a/*") << QStringList{"/a/*"};
    QTest::newRow("no-break space") << QByteArray("/a\xc2\xa0"
                                                  "b")
                                    << QStringList{"/a b"};
    // A stray NUL must not hide the patterns after it.
    QTest::newRow("NUL bytes") << QByteArray("*.p\0ng\r\n\0/keep/*\n", 17) << QStringList{"*.png", "/keep/*", ""};
    QTest::newRow("final line break") << QByteArray("/a/*\n") << QStringList{"/a/*", ""};
}

void IgnoreListTest::loading_unifies_line_breaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, patterns);
    writeRaw(bytes);
    QCOMPARE(IgnoreList::load(), patterns);
}

void IgnoreListTest::whatever_is_there_but_unreadable_is_a_failure_not_the_defaults_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder") << "folder"
                            << "it is a folder";
    QTest::newRow("FIFO") << "fifo"
                          << "it is a FIFO, not a regular file";
    QTest::newRow("link leading nowhere") << "dangling"
                                          << "symbolic link that leads nowhere";
    QTest::newRow("loop of links") << "loop"
                                   << "loop of symbolic links";
    QTest::newRow("link to a FIFO") << "link to fifo"
                                    << "it is a FIFO, not a regular file";
    QTest::newRow("link to a device") << "link to device"
                                      << "it is a device, not a regular file";
    QTest::newRow("editor folder leading nowhere") << "folder link"
                                                   << "link that leads nowhere";
    // A pattern past the limit would silently stop protecting.
    QTest::newRow("over the size limit") << "large"
                                         << "larger than 1048576 bytes";
}

void IgnoreListTest::whatever_is_there_but_unreadable_is_a_failure_not_the_defaults()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = IgnoreListFile::filePath();
    const QByteArray native = QFile::encodeName(path);
    const QString elsewhere = dir_.path() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QDir().mkpath(fixture_.dataPath() + QStringLiteral(".tamsel2")));
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(path));
    } else if (kind == QLatin1String("fifo")) {
        QVERIFY(test::makeFifo(path));
    } else if (kind == QLatin1String("dangling")) {
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/missing"), path));
    } else if (kind == QLatin1String("loop")) {
        QVERIFY(QFile::link(path, path));
    } else if (kind == QLatin1String("link to fifo")) {
        QVERIFY(test::makeFifo(elsewhere + QStringLiteral("/fifo")));
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/fifo"), path));
    } else if (kind == QLatin1String("link to device")) {
        QVERIFY(test::linkToDevice(path));
    } else if (kind == QLatin1String("folder link")) {
        QVERIFY(QDir(fixture_.dataPath() + QStringLiteral(".tamsel2")).removeRecursively());
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/gone"), fixture_.dataPath() + QStringLiteral(".tamsel2")));
    } else {
        QByteArray bytes(int(IgnoreListFile::MAX_FILE_SIZE), 'x');
        bytes += "\n/protected/*";
        writeRaw(bytes);
    }

    // On a thread: a read that waits for a writer must fail the test, not
    // hang it.
    QString text;
    QString error;
    IgnoreListFile::ReadStatus status = IgnoreListFile::ReadStatus::Read;
    QThread *reader = QThread::create([&] { status = IgnoreListFile::read(text, &error); });
    reader->start();
    if (!reader->wait(5000)) {
        const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        reader->wait();
        delete reader;
        QFAIL("The read waited on the file.");
    }
    delete reader;
    QCOMPARE(status, IgnoreListFile::ReadStatus::Failed);
    QVERIFY2(error.contains(QLatin1String(".cleanerignore")) && error.contains(reason), qPrintable(error));
    QVERIFY(text.isEmpty());

    // The list still applies its defaults, but the caller is told.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("IgnoreList\\. The ignore list .*")));
    error.clear();
    QCOMPARE(IgnoreList::load(&error), IgnoreList::defaultPatterns());
    QVERIFY(!error.isEmpty());
}

void IgnoreListTest::the_whole_file_is_read_up_to_the_limit_also_through_a_link()
{
    QByteArray bytes(int(IgnoreListFile::MAX_FILE_SIZE) - 8, 'x');
    bytes += "\n/last/*";
    const QString target = dir_.path() + QStringLiteral("/elsewhere/list");
    QVERIFY(QDir().mkpath(dir_.path() + QStringLiteral("/elsewhere")));
    QVERIFY(QDir().mkpath(fixture_.dataPath() + QStringLiteral(".tamsel2")));
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();
    QVERIFY(QFile::link(target, IgnoreListFile::filePath()));
    QString error;
    const QStringList patterns = IgnoreList::load(&error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(patterns.size(), 2);
    QCOMPARE(patterns.last(), QStringLiteral("/last/*"));
}

void IgnoreListTest::a_failed_write_is_reported_and_no_link_leading_out_is_written_through()
{
    // The editor folder is a file: nothing can be made inside it.
    QVERIFY(QDir(fixture_.dataPath() + QStringLiteral(".tamsel2")).removeRecursively());
    QFile blocker(fixture_.dataPath() + QStringLiteral(".tamsel2"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    QVERIFY(!IgnoreList::save({QStringLiteral("/keep/*")}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(blocker.fileName()).isFile());
    QVERIFY(QFile::remove(blocker.fileName()));

    // A full disk, with the short list still in a write buffer at the close.
    writeRaw("/old/*");
    const QStringList entries = test::folderEntries(QFileInfo(IgnoreListFile::filePath()).absolutePath());
    error.clear();
    {
        test::FileSizeLimit limit(4);
        QVERIFY(limit.isActive());
        QVERIFY(!IgnoreList::save({QStringLiteral("/new/*")}, &error));
    }
    QVERIFY(error.contains(QDir::toNativeSeparators(IgnoreListFile::filePath())));
    QCOMPARE(readRaw(), QByteArray("/old/*"));
    QCOMPARE(test::folderEntries(QFileInfo(IgnoreListFile::filePath()).absolutePath()), entries);

    // A link leading out of the project: nothing appears where it leads,
    // and saving the defaults deletes the link itself.
    const QString outside = dir_.path() + QStringLiteral("/elsewhere/written");
    QVERIFY(QDir().mkpath(dir_.path() + QStringLiteral("/elsewhere")));
    QVERIFY(QDir().mkpath(fixture_.dataPath() + QStringLiteral(".tamsel2")));
    QFile::remove(IgnoreListFile::filePath());
    QVERIFY(QFile::link(outside, IgnoreListFile::filePath()));
    error.clear();
    QVERIFY(!IgnoreList::save({QStringLiteral("/keep/*")}, &error));
    QVERIFY2(error.contains(QLatin1String("symbolic link")), qPrintable(error));
    QVERIFY(!QFileInfo::exists(outside));
    QVERIFY(QFileInfo(IgnoreListFile::filePath()).isSymLink());
    QVERIFY(IgnoreList::save(IgnoreList::defaultPatterns(), &error));
    QVERIFY(!QFileInfo(IgnoreListFile::filePath()).isSymLink());

    // A link to a list elsewhere inside the project: that list is written
    // and the link stays.
    const QString shared = fixture_.dataPath() + QStringLiteral("shared/cleanerignore");
    QVERIFY(QDir().mkpath(fixture_.dataPath() + QStringLiteral("shared")));
    QFile list(shared);
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.close();
    QVERIFY(QFile::link(QStringLiteral("../shared/cleanerignore"), IgnoreListFile::filePath()));
    error.clear();
    QVERIFY2(IgnoreList::save({QStringLiteral("/shared/*")}, &error), qPrintable(error));
    QVERIFY(QFileInfo(IgnoreListFile::filePath()).isSymLink());
    QFile written(shared);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("/shared/*"));
}

QTEST_GUILESS_MAIN(IgnoreListTest)
#include "tst_ignore_list.moc"
