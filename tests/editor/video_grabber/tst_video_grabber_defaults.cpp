#include "editor/video_grabber/video_grabber_state.h"

#include <QTest>

class tst_VideoGrabberDefaults : public QObject
{
    Q_OBJECT

private slots:
    void video_grabber_state_starts_with_its_defaults();
};

void tst_VideoGrabberDefaults::video_grabber_state_starts_with_its_defaults()
{
    VideoGrabberState state;
    QCOMPARE(state.property("fps").toDouble(), 30.0);
    QCOMPARE(state.property("camera").toString(), QStringLiteral("Editor Camera"));
    QCOMPARE(state.property("width").toInt(), 0);
    QCOMPARE(state.property("running").toBool(), false);
    QVERIFY(state.property("track").toString().isEmpty());
}

QTEST_GUILESS_MAIN(tst_VideoGrabberDefaults)
#include "tst_video_grabber_defaults.moc"
