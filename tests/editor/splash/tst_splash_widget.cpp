#include "editor/splash/splash_widget.h"
#include "editor/splash/startup_images.h"
#include "thread_refusal.h"
#include "window_system.h"

#include <editor_core/ElidedLabel.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QPixmapCache>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

class tst_SplashWidget : public QObject
{
    Q_OBJECT

private slots:
    void exposed_is_emitted_once_however_often_it_paints();
    void window_system_close_is_refused_until_finish();
    void key_presses_do_nothing();
    void finish_without_main_window_closes_at_once();
    void finish_gives_up_on_a_main_window_that_never_appears();
    void finish_ends_at_the_expose_while_frames_keep_the_loop_busy();
    void long_detail_keeps_its_end_visible();
    void splash_has_the_background_size();
    void preloaded_background_is_the_image_read_on_the_spot();
    void preloaded_help_pictures_are_what_loading_their_files_finds();
    void dropping_leaves_no_decoder_running_and_nothing_to_take();
    void size_follows_the_background_pixel_ratio_data();
    void size_follows_the_background_pixel_ratio();
    void lines_sit_at_their_places_over_the_background();
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

void tst_SplashWidget::finish_ends_at_the_expose_while_frames_keep_the_loop_busy()
{
    // The editor's frame loop: a timer that fires on every pass of the loop.
    int frames = 0;
    QTimer frame_loop;
    QObject::connect(&frame_loop, &QTimer::timeout, [&frames] { ++frames; });
    frame_loop.start(0);

    SplashWidget splash;
    splash.show();
    QWidget main_window;
    QTimer::singleShot(50, &main_window, [&main_window] { main_window.show(); });
    QElapsedTimer clock;
    clock.start();
    splash.finish(&main_window);
    const qint64 waited = clock.elapsed();
    QVERIFY(main_window.windowHandle() && main_window.windowHandle()->isExposed());
    QVERIFY2(waited < SplashWidget::FINISH_WAIT_MS / 2, qPrintable(QString::number(waited)));
    QVERIFY(frames > 0);
    QVERIFY(!splash.isVisible());
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

void tst_SplashWidget::preloaded_background_is_the_image_read_on_the_spot()
{
    const QString background = QString::fromLatin1(StartupImages::SPLASH_BACKGROUND);
    const QString icon = QString::fromLatin1(StartupImages::EDITOR_ICON);
    StartupImages::preload(background);
    StartupImages::preload(icon);
    StartupImages::preload(background); // asked twice, decoded once
    const QImage preloaded = StartupImages::take(background);
    const QImage read_here = StartupImages::take(background);
    QVERIFY(!preloaded.isNull());
    QCOMPARE(preloaded, read_here);
    QCOMPARE(QPixmap::fromImage(preloaded).toImage(), QPixmap(background).toImage());
    QCOMPARE(StartupImages::take(icon), QImage(icon));
    {
        // At the thread limit nothing is decoded ahead: the picture is read
        // when it is taken.
        const test::ThreadRefusal refusal;
        QVERIFY(refusal.isActive());
        StartupImages::preload(icon);
    }
    QCOMPARE(StartupImages::take(icon), QImage(icon));

    StartupImages::preload(background);
    SplashWidget splash;
    QCOMPARE(splash.size(), QSize(960, 540));
}

namespace {

// The threads of this process.
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

} // namespace

void tst_SplashWidget::dropping_leaves_no_decoder_running_and_nothing_to_take()
{
    // What a start that ended early did not take is dropped before the
    // application goes away: no decoder may still read through its image
    // plugins then.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage picture(512, 512, QImage::Format_ARGB32);
    for (int i = 0; i < 40; ++i) {
        picture.fill(QColor::fromHsv(i * 9, 200, 200));
        QVERIFY(picture.save(dir.filePath(QStringLiteral("picture_%1.png").arg(i, 2, 10, QLatin1Char('0')))));
    }
    const QString background = QString::fromLatin1(StartupImages::SPLASH_BACKGROUND);
    const int threads = threadCount();
    StartupImages::preloadFolder(dir.path());
    StartupImages::preload(background);
    StartupImages::dropPending();
    QCOMPARE(threadCount(), threads);
    QPixmapCache::clear();
    StartupImages::cacheFolder(dir.path());
    QPixmap cached;
    QVERIFY(!QPixmapCache::find(StartupImages::pixmapCacheKey(dir.filePath(QStringLiteral("picture_39.png"))),
                                &cached));

    // A later start decodes whole folders again.
    StartupImages::preloadFolder(dir.path());
    StartupImages::cacheFolder(dir.path());
    QVERIFY(QPixmapCache::find(StartupImages::pixmapCacheKey(dir.filePath(QStringLiteral("picture_39.png"))), &cached));
    QCOMPARE(cached.toImage().pixelColor(0, 0), picture.pixelColor(0, 0));
}

void tst_SplashWidget::preloaded_help_pictures_are_what_loading_their_files_finds()
{
    const QString folder = QString::fromLatin1(StartupImages::HELP_PICTURES);
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 2);
    QHash<QString, QImage> read_here;
    QPixmapCache::clear();
    for (const QString &name : names)
        read_here.insert(name, QPixmap(dir.filePath(name)).toImage());

    QPixmapCache::clear();
    StartupImages::preloadFolder(folder);
    StartupImages::preloadFolder(folder); // asked twice, decoded once
    StartupImages::cacheFolder(folder);
    for (const QString &name : names) {
        const QString path = dir.filePath(name);
        QPixmap cached;
        QVERIFY2(QPixmapCache::find(StartupImages::pixmapCacheKey(path), &cached), qPrintable(path));
        // Loading the file finds the very pixmap put in the cache (the key is
        // the one QPixmap uses), and it is the picture read on the spot.
        const QPixmap loaded(path);
        QCOMPARE(loaded.cacheKey(), cached.cacheKey());
        QCOMPARE(loaded.toImage(), read_here.value(name));
    }
    QPixmapCache::clear();
    StartupImages::cacheFolder(folder); // no longer preloaded: nothing cached
    QPixmap none;
    QVERIFY(!QPixmapCache::find(StartupImages::pixmapCacheKey(dir.filePath(names.first())), &none));
}

void tst_SplashWidget::size_follows_the_background_pixel_ratio_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<qreal>("ratio");
    QTest::addColumn<QSize>("size");
    QTest::newRow("design size") << QSize(960, 540) << 1.0 << QSize(960, 540);
    QTest::newRow("double density") << QSize(1920, 1080) << 2.0 << QSize(960, 540);
    QTest::newRow("rounded to whole pixels") << QSize(1441, 811) << 1.5 << QSize(961, 541);
}

void tst_SplashWidget::size_follows_the_background_pixel_ratio()
{
    QFETCH(QSize, pixels);
    QFETCH(qreal, ratio);
    QFETCH(QSize, size);
    QPixmap background(pixels);
    background.setDevicePixelRatio(ratio);
    QCOMPARE(SplashWidget::sizeForBackground(background), size);
}

void tst_SplashWidget::lines_sit_at_their_places_over_the_background()
{
    SplashWidget splash;
    splash.setVersion(QStringLiteral("Version 2.11.0.0"));
    splash.setStatus(QStringLiteral("Initializing Engine..."));
    splash.setDetail(QStringLiteral("textures/ground.png..."));
    splash.setNotice(QStringLiteral("Notice"));
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));

    const QList<QLabel *> labels = splash.findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 4);
    QLabel *version = labels.at(0);
    QLabel *status = labels.at(1);
    QLabel *detail = labels.at(2);
    QLabel *notice = labels.at(3);
    QCOMPARE(version->text(), splash.version());
    QCOMPARE(status->text(), splash.status());
    QCOMPARE(notice->text(), splash.notice());

    QCOMPARE(version->geometry().right(), splash.width() - 229 - 1);
    QCOMPARE(version->y(), 275);
    QCOMPARE(version->size(), version->sizeHint());
    QCOMPARE(status->geometry(), QRect(188, 406, 710, status->sizeHint().height()));
    QCOMPARE(detail->geometry(), QRect(188, status->geometry().bottom(), 710, detail->sizeHint().height()));
    QCOMPARE(notice->geometry(), QRect(188, 485, 710, notice->sizeHint().height()));
    QCOMPARE(splash.layout()->count(), 0);
    QCOMPARE(splash.layout()->sizeHint(), QSize(960, 540));
}

QTEST_MAIN(tst_SplashWidget)
#include "tst_splash_widget.moc"
