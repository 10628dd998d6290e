#include "editor/splash/splash_widget.h"
#include "window_system.h"

#include <editor_core/ElidedLabel.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class tst_SplashWidget : public QObject
{
    Q_OBJECT

private slots:
    void exposed_is_emitted_once_however_often_it_paints();
    void window_system_close_is_refused_until_finish();
    void key_presses_do_nothing();
    void finish_without_main_window_closes_at_once();
    void finish_gives_up_on_a_main_window_that_never_appears();
    void long_detail_keeps_its_end_visible();
    void splash_has_the_background_size();
};

void tst_SplashWidget::exposed_is_emitted_once_however_often_it_paints()
{
    SplashWidget splash;
    QSignalSpy exposed(&splash, &SplashWidget::exposed);
    splash.show();
    QTRY_COMPARE(exposed.count(), 1);
    for (int i = 0; i < 3; ++i)
        splash.repaint();
    QCoreApplication::processEvents();
    QCOMPARE(exposed.count(), 1);
}

void tst_SplashWidget::window_system_close_is_refused_until_finish()
{
    SplashWidget splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));

    test::sendSpontaneousClose(&splash);
    QVERIFY(splash.isVisible());

    splash.finish(nullptr);
    QVERIFY(!splash.isVisible());
}

void tst_SplashWidget::key_presses_do_nothing()
{
    SplashWidget splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    splash.setStatus(QStringLiteral("status"));
    QTest::keyClick(&splash, Qt::Key_Escape);
    QTest::keyClick(&splash, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(splash.isVisible());
    QCOMPARE(splash.status(), QStringLiteral("status"));
}

void tst_SplashWidget::finish_without_main_window_closes_at_once()
{
    SplashWidget splash;
    splash.show();
    QElapsedTimer clock;
    clock.start();
    splash.finish(nullptr);
    QVERIFY(clock.elapsed() < 500);
    QVERIFY(!splash.isVisible());
}

void tst_SplashWidget::finish_gives_up_on_a_main_window_that_never_appears()
{
    SplashWidget splash;
    splash.show();
    QWidget never_shown;
    QElapsedTimer clock;
    clock.start();
    splash.finish(&never_shown);
    const qint64 waited = clock.elapsed();
    QVERIFY2(waited >= SplashWidget::FINISH_WAIT_MS - 20, qPrintable(QString::number(waited)));
    QVERIFY2(waited < SplashWidget::FINISH_WAIT_MS + 1000, qPrintable(QString::number(waited)));
    QVERIFY(!splash.isVisible());

    SplashWidget second;
    second.show();
    QWidget shown;
    shown.show();
    clock.restart();
    second.finish(&shown);
    QVERIFY(clock.elapsed() < SplashWidget::FINISH_WAIT_MS);
}

void tst_SplashWidget::long_detail_keeps_its_end_visible()
{
    SplashWidget splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    const QString detail = QString(200, QLatin1Char('x')) + QStringLiteral("/the_end.world");
    splash.setDetail(detail);
    QCOMPARE(splash.detail(), detail);
    auto label = splash.findChild<ElidedLabel *>();
    QVERIFY(label);
    QCOMPARE(label->width(), 710);
    const QString shown = label->elidedText();
    QVERIFY(shown.size() < detail.size());
    QVERIFY(shown.endsWith(QStringLiteral("the_end.world")));
}

void tst_SplashWidget::splash_has_the_background_size()
{
    SplashWidget splash;
    QCOMPARE(splash.size(), QSize(960, 540));
}

QTEST_MAIN(tst_SplashWidget)
#include "tst_splash_widget.moc"
