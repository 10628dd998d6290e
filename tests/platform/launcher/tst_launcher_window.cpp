// The launcher's window: where it opens, how large, and its look.

#include "launcher_config.h"
#include "launcher_style.h"
#include "launcher_window.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

namespace {

LauncherConfig configWithBanner(const QString &banner)
{
    const QString file = QString::fromUtf8(R"json({"main": {"name": "demo", "binary": "Release", "show": true,
        "paths": {"release": "bin/demo_x64", "banner": "%1"},
        "cmd": {"args": [], "params": [
            {"type": "Choice", "label": "Resolution", "value": 0, "items": [
                {"text": "1280 x 720 (16:9)", "arguments": []}, {"text": "1920 x 1080 (16:9)", "arguments": []}]},
            {"type": "Check", "label": "Fullscreen", "value": 1, "off_args": [], "on_args": []}]}}})json")
                                 .arg(banner);
    LauncherConfig config;
    QString error;
    if (!config.parse(file.toUtf8(), error))
        qWarning() << error;
    return config;
}

} // namespace

class TestLauncherWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void the_window_fits_its_content_on_the_screen_centred_data();
    void the_window_fits_its_content_on_the_screen_centred();

private:
    QTemporaryDir folder_;
};

void TestLauncherWindow::initTestCase()
{
    applyLauncherStyle(*qApp);
    QImage(300, 80, QImage::Format_RGB32).save(folder_.filePath("small.png"));
    QImage(2400, 1600, QImage::Format_RGB32).save(folder_.filePath("huge.png"));
}

void TestLauncherWindow::the_window_fits_its_content_on_the_screen_centred_data()
{
    QTest::addColumn<QString>("banner");
    QTest::newRow("no banner") << QString();
    QTest::newRow("small banner") << QStringLiteral("small.png");
    QTest::newRow("banner larger than the screen") << QStringLiteral("huge.png");
}

void TestLauncherWindow::the_window_fits_its_content_on_the_screen_centred()
{
    QFETCH(QString, banner);
    LauncherConfig config = configWithBanner(banner);
    LauncherWindow window(config, folder_.path() + '/');
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    window.fitToScreen(available);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QRect frame = window.frameGeometry();
    QVERIFY(available.contains(frame));
    QVERIFY((frame.center() - available.center()).manhattanLength() <= 4);
    // Wide enough for its labels and choices, and not below its content.
    QVERIFY(window.width() >= 420);
    QCOMPARE(window.size().expandedTo(window.minimumSizeHint()), window.size());
    if (auto label = window.findChild<QLabel *>("banner")) {
        // Scaled down, not cropped: the banner keeps its proportions.
        const QSize shown = label->pixmap(Qt::ReturnByValue).size();
        const QImage source(folder_.filePath(banner));
        QVERIFY(shown.width() <= available.width() * 2 / 3 && shown.height() <= available.height() / 2);
        QVERIFY(qAbs(shown.width() * source.height() - shown.height() * source.width()) <= source.width());
    }
    // The dark style sheet's base colour, not the platform's light grey.
    const QImage picture = window.grab().toImage();
    QCOMPARE(picture.pixelColor(3, picture.height() - 3).name(), QStringLiteral("#1d2127"));
    if (banner.isEmpty())
        picture.save(QDir(qEnvironmentVariable("VELMORA_TEST_HOME", QDir::tempPath())).filePath("launcher.png"));
}

QTEST_MAIN(TestLauncherWindow)
#include "tst_launcher_window.moc"
