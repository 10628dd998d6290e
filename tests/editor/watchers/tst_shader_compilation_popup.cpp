#include "editor/watchers/shader_compilation_popup_widget.h"
#include "editor/watchers/shader_compilation_watcher.h"
#include "log_capture.h"

#include <editor_core/EditorLogic.h>
#include <editor_core/UpdateLock.h>
#include <editor_core/depr/EditorGlobals.h>

#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Material.h>

#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

// Counts the timer events that reach an object.
class TimerCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return false;
    }
};

} // namespace

class tst_ShaderCompilationPopup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void remaining_count_takes_the_singular_only_for_one_data();
    void remaining_count_takes_the_singular_only_for_one();
    void material_without_name_shows_its_guid();
    void popup_keeps_fifteen_pixels_from_the_corner_data();
    void popup_keeps_fifteen_pixels_from_the_corner();
    void long_material_name_widens_the_panel_to_the_left();
    void popup_is_hidden_until_a_compile_begins_and_after_it_ends();
    void spinner_turns_while_compiling();
    void second_begin_without_end_leaves_no_timer_behind();
    void spinner_strip_gives_one_frame_per_square_data();
    void spinner_strip_gives_one_frame_per_square();
    void watcher_claims_always_update_exactly_from_begin_to_end();
    void watcher_without_editor_logic_reports_a_soft_assertion();

private:
    std::unique_ptr<EditorLogic> logic_;
};

void tst_ShaderCompilationPopup::init()
{
    UpdateLock::reset();
    logic_ = std::make_unique<EditorLogic>();
    depr::g.editor = logic_.get();
}

void tst_ShaderCompilationPopup::cleanup()
{
    depr::g.editor = nullptr;
    logic_.reset();
    UpdateLock::reset();
}

void tst_ShaderCompilationPopup::remaining_count_takes_the_singular_only_for_one_data()
{
    QTest::addColumn<int>("remaining");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << 1 << "1 material remaining";
    QTest::newRow("none") << 0 << "0 materials remaining";
    QTest::newRow("two") << 2 << "2 materials remaining";
    QTest::newRow("seven") << 7 << "7 materials remaining";
    QTest::newRow("eleven") << 11 << "11 materials remaining";
}

void tst_ShaderCompilationPopup::remaining_count_takes_the_singular_only_for_one()
{
    QFETCH(int, remaining);
    QFETCH(QString, text);
    QWidget scene;
    ShaderCompilationPopupWidget popup(&scene);
    emit logic_->onMaterialCompileShadersBegin();
    emit logic_->onMaterialCompileShaders(Velmora::Material::createBase("rock"), remaining);
    QCOMPARE(popup.remainingLabelText(), text);
    QCOMPARE(popup.currentLabelText(), QStringLiteral("rock"));
}

void tst_ShaderCompilationPopup::material_without_name_shows_its_guid()
{
    QWidget scene;
    ShaderCompilationPopupWidget popup(&scene);
    const Velmora::Ptr<Velmora::Material> unnamed = Velmora::Material::createBase("");
    QVERIFY(unnamed->getGUID().isValid());
    popup.onCompileMaterial(unnamed, 3);
    QCOMPARE(popup.currentLabelText(), QString::fromUtf8(unnamed->getGUID().getString().get()));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{40}$")).match(popup.currentLabelText()).hasMatch());
}

void tst_ShaderCompilationPopup::popup_keeps_fifteen_pixels_from_the_corner_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("500 x 300") << QSize(500, 300);
    QTest::newRow("1280 x 720") << QSize(1280, 720);
    QTest::newRow("smaller than the panel") << QSize(200, 40);
}

void tst_ShaderCompilationPopup::popup_keeps_fifteen_pixels_from_the_corner()
{
    QFETCH(QSize, size);
    QWidget scene;
    scene.resize(640, 480);
    scene.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene));
    ShaderCompilationPopupWidget popup(&scene);
    QCOMPARE(popup.size(), QSize(295, 56));
    QCOMPARE(popup.geometry().bottomRight(), QPoint(640 - 15 - 1, 480 - 15 - 1));

    scene.resize(size);
    QCOMPARE(popup.geometry().bottomRight(), QPoint(size.width() - 15 - 1, size.height() - 15 - 1));
}

void tst_ShaderCompilationPopup::long_material_name_widens_the_panel_to_the_left()
{
    QWidget scene;
    scene.resize(900, 400);
    scene.show();
    QVERIFY(QTest::qWaitForWindowExposed(&scene));
    ShaderCompilationPopupWidget popup(&scene);
    popup.onCompileBegin();
    popup.onCompileMaterial(Velmora::Material::createBase(QByteArray(60, 'm').constData()), 12);
    auto current = popup.findChild<QLabel *>(QStringLiteral("current"));
    QCoreApplication::sendPostedEvents();
    QVERIFY(popup.width() > 295);
    QVERIFY(current->width() >= current->sizeHint().width());
    QCOMPARE(popup.geometry().bottomRight(), QPoint(900 - 15 - 1, 400 - 15 - 1));

    // The next compile starts from the design width again.
    popup.onCompileEnd();
    popup.onCompileBegin();
    QCOMPARE(popup.width(), 295);
    QCOMPARE(popup.geometry().right(), 900 - 15 - 1);
}

void tst_ShaderCompilationPopup::popup_is_hidden_until_a_compile_begins_and_after_it_ends()
{
    QWidget scene;
    scene.resize(500, 300);
    scene.show();
    ShaderCompilationPopupWidget popup(&scene);
    QVERIFY(!popup.isVisible());

    emit logic_->onMaterialCompileShadersBegin();
    QVERIFY(popup.isVisible());
    QVERIFY(popup.remainingLabelText().isEmpty());
    QVERIFY(popup.currentLabelText().isEmpty());
    emit logic_->onMaterialCompileShaders(Velmora::Material::createBase("rock"), 0);
    emit logic_->onMaterialCompileShadersEnd();
    QVERIFY(!popup.isVisible());
    QVERIFY(!popup.isSpinning());

    // The next compile starts with empty labels again.
    emit logic_->onMaterialCompileShadersBegin();
    QVERIFY(popup.remainingLabelText().isEmpty());
    QVERIFY(popup.currentLabelText().isEmpty());
    QCOMPARE(popup.findChild<QLabel *>(QStringLiteral("label_1"))->text(), QStringLiteral("Compiling shaders:"));
    QCOMPARE(popup.findChild<QLabel *>(QStringLiteral("label_3"))->text(), QStringLiteral("Current material:"));
}

void tst_ShaderCompilationPopup::spinner_turns_while_compiling()
{
    QWidget scene;
    ShaderCompilationPopupWidget popup(&scene);
    QCOMPARE(popup.frameCount(), 16);
    popup.onCompileBegin();
    QCOMPARE(popup.currentFrame(), 0);
    auto spinner = popup.findChild<QLabel *>(QStringLiteral("spinner"));
    QCOMPARE(spinner->size(), QSize(32, 32));
    QCOMPARE(spinner->pixmap(Qt::ReturnByValue).size(), QSize(32, 32));
    QTRY_VERIFY_WITH_TIMEOUT(popup.currentFrame() >= 2, 2000);
    popup.onCompileEnd();
}

void tst_ShaderCompilationPopup::second_begin_without_end_leaves_no_timer_behind()
{
    QWidget scene;
    ShaderCompilationPopupWidget popup(&scene);
    TimerCounter timers;
    popup.installEventFilter(&timers);

    emit logic_->onMaterialCompileShadersBegin();
    emit logic_->onMaterialCompileShadersBegin();
    QTRY_VERIFY(timers.count > 0);
    emit logic_->onMaterialCompileShadersEnd();
    QVERIFY(!popup.isVisible());
    QVERIFY(!popup.isSpinning());

    timers.count = 0;
    QTest::qWait(4 * ShaderCompilationPopupWidget::FRAME_INTERVAL_MS);
    QCOMPARE(timers.count, 0);
}

void tst_ShaderCompilationPopup::spinner_strip_gives_one_frame_per_square_data()
{
    QTest::addColumn<QSize>("strip");
    QTest::addColumn<int>("frames");
    QTest::newRow("32 x 512") << QSize(32, 512) << 16;
    QTest::newRow("a partial square is dropped") << QSize(32, 100) << 3;
    QTest::newRow("less tall than wide") << QSize(32, 20) << 0;
    QTest::newRow("empty") << QSize() << 0;
}

void tst_ShaderCompilationPopup::spinner_strip_gives_one_frame_per_square()
{
    QFETCH(QSize, strip);
    QFETCH(int, frames);
    QPixmap pixmap;
    if (strip.isValid()) {
        QImage image(strip, QImage::Format_ARGB32);
        for (int y = 0; y < strip.height(); ++y)
            for (int x = 0; x < strip.width(); ++x)
                image.setPixel(x, y, qRgba(y / strip.width(), 0, 0, 255));
        pixmap = QPixmap::fromImage(image);
    }
    const QVector<QPixmap> result = ShaderCompilationPopupWidget::spinnerFrames(pixmap);
    QCOMPARE(result.size(), frames);
    for (int k = 0; k < result.size(); ++k) {
        QCOMPARE(result.at(k).size(), QSize(strip.width(), strip.width()));
        QCOMPARE(qRed(result.at(k).toImage().pixel(0, 0)), k); // frame k is the k-th square
    }
}

void tst_ShaderCompilationPopup::watcher_claims_always_update_exactly_from_begin_to_end()
{
    ShaderCompilationWatcher watcher;
    QVERIFY(!UpdateLock::isAlwaysUpdate());
    emit logic_->onMaterialCompileShadersBegin();
    QVERIFY(UpdateLock::isAlwaysUpdate());
    emit logic_->onMaterialCompileShadersBegin();
    emit logic_->onMaterialCompileShadersEnd();
    QVERIFY(!UpdateLock::isAlwaysUpdate());

    // An end without a begin leaves another tool's claim alone.
    UpdateLock::claimAlwaysUpdate();
    emit logic_->onMaterialCompileShadersEnd();
    QVERIFY(UpdateLock::isAlwaysUpdate());
    UpdateLock::disclaimAlwaysUpdate();

    // A compile still running when the watcher goes does not keep the
    // frames running for ever.
    {
        ShaderCompilationWatcher short_lived;
        emit logic_->onMaterialCompileShadersBegin();
    }
    emit logic_->onMaterialCompileShadersEnd();
    QVERIFY(!UpdateLock::isAlwaysUpdate());
}

void tst_ShaderCompilationPopup::watcher_without_editor_logic_reports_a_soft_assertion()
{
    QString log;
    {
        test::LogCapture capture;
        depr::g.editor = nullptr;
        ShaderCompilationWatcher watcher;
        watcher.watchViewports();
        log = capture.text();
    }
    QVERIFY2(log.contains(QLatin1String("SOFT ASSERT: \"depr::g.editor\" in file ")), qPrintable(log));
    QVERIFY2(log.contains(QLatin1String("SOFT ASSERT: \"depr::g.viewports\" in file ")), qPrintable(log));
}

QTEST_MAIN(tst_ShaderCompilationPopup)
#include "tst_shader_compilation_popup.moc"
