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
    QCOMPARE(state.getFps(), 30.0f);
    QCOMPARE(state.getCameraName(), QStringLiteral("Editor Camera"));
    QCOMPARE(state.getWidth(), 0);
    QCOMPARE(state.getState(), VideoGrabberState::IDLE);
    QCOMPARE(state.getMode(), VideoGrabberState::SINGLE_SHOT);
    QCOMPARE(state.getFormat(), VideoGrabberState::TGA);
    QVERIFY(state.getTrackGUID().isEmpty());
}

QTEST_GUILESS_MAIN(tst_VideoGrabberDefaults)
#include "tst_video_grabber_defaults.moc"
