// Runs the real editor binary headless on a copy of the sample project, the
// way a user's session ends: a world is loaded through -console_command and
// the engine asks the editor to quit after a fixed number of frames.

#include "folder_copy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {} // namespace

class tst_Smoke : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void editor_exits_cleanly();
    void log_shows_start_up_and_the_loaded_world();
    void settings_file_holds_window_geometry_and_layout();
    void world_preview_is_written();

private:
    QTemporaryDir root_;
    QString data_;
    QString log_path_;
    QString config_;
    int exit_code_ = -1;
    QProcess::ExitStatus exit_status_ = QProcess::CrashExit;
    QByteArray output_;
};

void tst_Smoke::initTestCase()
{
    QVERIFY(root_.isValid());
    const QString binary = qEnvironmentVariable("VELMORA_EDITOR_BINARY");
    QVERIFY2(QFileInfo::exists(binary), qPrintable(binary));

    const QString project = root_.path() + QLatin1String("/project");
    data_ = project + QLatin1String("/data/");
    QVERIFY(test::copySampleProject(project));

    log_path_ = root_.path() + QLatin1String("/log.txt");
    config_ = root_.path() + QLatin1String("/config");
    QDir().mkpath(config_);
    QDir().mkpath(root_.path() + QLatin1String("/runtime"));
    QFile::setPermissions(root_.path() + QLatin1String("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config_);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), root_.path() + QLatin1String("/runtime"));

    QProcess editor;
    editor.setProcessEnvironment(environment);
    editor.setProcessChannelMode(QProcess::MergedChannels);
    editor.start(binary,
                 {QStringLiteral("-data_path"), data_, QStringLiteral("-console_command"),
                  QStringLiteral("world_load \"worlds/level1\""), QStringLiteral("-fixed_ifps"), QStringLiteral("0.02"),
                  QStringLiteral("-quit_after_frames"), QStringLiteral("400"), QStringLiteral("-log_path"), log_path_,
                  QStringLiteral("-cache_path"), root_.path() + QLatin1String("/cache/")});
    QVERIFY(editor.waitForStarted(10000));
    // Generous: a sanitized build on a busy machine needs most of it.
    QVERIFY2(editor.waitForFinished(240000), "the editor did not quit after its frames");
    exit_code_ = editor.exitCode();
    exit_status_ = editor.exitStatus();
    output_ = editor.readAll();
}

void tst_Smoke::editor_exits_cleanly()
{
    QVERIFY2(exit_status_ == QProcess::NormalExit, output_.right(3000).constData());
    QCOMPARE(exit_code_, 0);
}

void tst_Smoke::log_shows_start_up_and_the_loaded_world()
{
    QFile file(log_path_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(file.readAll());
    const int header = log.indexOf(QLatin1String("---- Editor ----\n"));
    QVERIFY2(header >= 0, qPrintable(log.left(3000)));
    QVERIFY(log.indexOf(QLatin1String("Version: 2.11.0.0 ver-2.11.0.0-"), header) > header);
    QVERIFY(log.indexOf(QLatin1String("Binary: Linux "), header) > header);
    QVERIFY2(log.contains(QLatin1String("worlds/level1.world loaded")), qPrintable(log.right(3000)));
}

void tst_Smoke::settings_file_holds_window_geometry_and_layout()
{
    const QString path = config_ + QLatin1String("/Velmora/Editor.conf");
    QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QSettings settings(path, QSettings::IniFormat);
    QVERIFY(!settings.value(QStringLiteral("windows/geometry")).toByteArray().isEmpty());
    QVERIFY(!settings.value(QStringLiteral("windows/layout")).toByteArray().isEmpty());
    QVERIFY(settings.contains(QStringLiteral("console/history")));
}

void tst_Smoke::world_preview_is_written()
{
    // 400 frames of 0.02 s pass the five seconds of game time of the
    // start-up preview.
    const QStringList previews = QDir(data_ + QLatin1String(".thumbnails")).entryList({"*.png"}, QDir::Files);
    QCOMPARE(previews.size(), 1);
    const QImage image(data_ + QLatin1String(".thumbnails/") + previews.first());
    QCOMPARE(image.size(), QSize(270, 152));
}

QTEST_GUILESS_MAIN(tst_Smoke)
#include "tst_smoke.moc"
