// Runs the real editor binary headless on a copy of the sample project in a
// process the system gives little: a small address space. Whatever it can
// do there, it ends by itself, with its own exit code and, when it cannot
// run, a message saying what it could not have; it never hangs or aborts.

#include "bounded_run.h"
#include "folder_copy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The editor's own exit codes for what the system did not give.
constexpr int TOO_FEW_THREADS = 2;
constexpr int OUT_OF_MEMORY = 3;

} // namespace

class tst_Limits : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void a_small_address_space_ends_the_editor_cleanly_data();
    void a_small_address_space_ends_the_editor_cleanly();

private:
    QTemporaryDir root_;
    QString project_;
};

void tst_Limits::initTestCase()
{
#if defined(__SANITIZE_ADDRESS__)
    // The editor built with AddressSanitizer reserves its shadow memory up
    // front, terabytes of address space: no limit tried here can hold it.
    QSKIP("an address-space limit cannot be tried on a build with AddressSanitizer");
#endif
    QVERIFY(root_.isValid());
    const QString source = qEnvironmentVariable("VELMORA_SOURCE_DIR");
    project_ = root_.path() + QLatin1String("/project");
    const QString data = project_ + QLatin1String("/data/");
    QVERIFY(test::copyTree(source + QLatin1String("/examples/sample_project/data"), data));
    QVERIFY(test::copyTree(source + QLatin1String("/resources/engine_data"), data));
    const QStringList project_files = QDir(source + QLatin1String("/examples/sample_project"))
                                              .entryList({QStringLiteral("*.project")}, QDir::Files);
    for (const QString &name : project_files)
        QVERIFY(QFile::copy(source + QLatin1String("/examples/sample_project/") + name, project_ + '/' + name));
}

void tst_Limits::a_small_address_space_ends_the_editor_cleanly_data()
{
    QTest::addColumn<int>("megabytes");
    QTest::newRow("200 MB") << 200;
    QTest::newRow("300 MB") << 300;
    QTest::newRow("450 MB") << 450;
    QTest::newRow("600 MB") << 600;
    QTest::newRow("900 MB") << 900;
}

void tst_Limits::a_small_address_space_ends_the_editor_cleanly()
{
    QFETCH(int, megabytes);
    const QString binary = qEnvironmentVariable("VELMORA_EDITOR_BINARY");
    QVERIFY2(QFileInfo::exists(binary), qPrintable(binary));
    const QString run = root_.path() + QStringLiteral("/run%1").arg(megabytes);
    QVERIFY(QDir().mkpath(run + QLatin1String("/config")));
    QVERIFY(QDir().mkpath(run + QLatin1String("/runtime")));
    QFile::setPermissions(run + QLatin1String("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), run + QLatin1String("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run + QLatin1String("/runtime"));

    QProcess editor;
    editor.setProcessEnvironment(environment);
    // The limit through the shell, which passes it on to what it runs.
    const QStringList arguments{QStringLiteral("-data_path"),         project_ + QLatin1String("/data/"),
                                QStringLiteral("-console_command"),   QStringLiteral("world_load \"worlds/level1\""),
                                QStringLiteral("-fixed_ifps"),        QStringLiteral("0.02"),
                                QStringLiteral("-quit_after_frames"), QStringLiteral("60"),
                                QStringLiteral("-log_path"),          run + QLatin1String("/log.txt"),
                                QStringLiteral("-cache_path"),        run + QLatin1String("/cache/")};
    const QList<int> codes = megabytes >= 900 ? QList<int>{0} : QList<int>{0, TOO_FEW_THREADS, OUT_OF_MEMORY};
    test::runToItsEnd(editor, QStringLiteral("/bin/sh"),
                      QStringList{QStringLiteral("-c"),
                                  QStringLiteral("ulimit -v %1 && exec \"$0\" \"$@\"").arg(megabytes * 1024), binary}
                              + arguments,
                      180000, codes, "Editor: the system gives");
}

QTEST_GUILESS_MAIN(tst_Limits)
#include "tst_limits.moc"
