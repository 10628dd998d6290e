// What the player's window shows of the frames the engine gives it.

#include "player_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class TestPlayerWindow : public QObject
{
    Q_OBJECT

private slots:
    void the_sky_shows_in_its_colours_as_in_the_editor();
};

void TestPlayerWindow::the_sky_shows_in_its_colours_as_in_the_editor()
{
    // An engine frame: coverage in alpha, 0 over the sky, 255 on geometry.
    const QColor sky(153, 178, 204);
    const QColor ground(90, 140, 60);
    QImage frame(64, 48, QImage::Format_RGBA8888);
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            QColor colour = y < 24 ? sky : ground;
            colour.setAlpha(y < 24 ? 0 : 255);
            frame.setPixelColor(x, y, colour);
        }

    PlayerWindow window(frame.size());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.presentFrame(frame);
    const QImage shown = window.screen()->grabWindow(window.winId()).toImage();
    QCOMPARE(shown.size(), frame.size());
    QCOMPARE(shown.pixelColor(10, 5).rgb(), sky.rgb());
    QCOMPARE(shown.pixelColor(50, 40).rgb(), ground.rgb());
}

QTEST_MAIN(TestPlayerWindow)
#include "tst_player_window.moc"
