#include "asset_files.h"
#include "global_assets.h"

#include <editor_core/AssetType.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/AssetsMimeDataHandler.h>
#include <editor_core/Dialogs.h>
#include <editor_core/DragAndDropDelegate.h>

#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using Velmora::UGUID;

namespace {

const UGUID WORLD("aaaaa00000000000000000000000000000000101");
const UGUID OTHER_WORLD("aaaaa00000000000000000000000000000000102");
const UGUID IMAGE("bbbbb00000000000000000000000000000000201");
const UGUID UNKNOWN("ccccc00000000000000000000000000000000301");

// Accepts exactly the text "take me" and hands over a fixed GUID.
class TextDelegate : public DragAndDropDelegate
{
public:
    bool isAcceptable(const QMimeData *data) const override { return data->text() == QLatin1String("take me"); }
    void drop(const QMimeData *) override { setGuid(IMAGE); }
};

} // namespace

class TestAssetWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void a_guid_set_from_code_is_shown_and_not_reported();
    void a_drop_takes_the_first_asset_of_an_allowed_type_data();
    void a_drop_takes_the_first_asset_of_an_allowed_type();
    void a_delegate_decides_drops_and_its_guid_is_a_user_change();
    void browse_reports_the_asset_the_chooser_answers_data();
    void browse_reports_the_asset_the_chooser_answers();

private:
    QTemporaryDir dir_;
    test::GlobalAssets assets_;
};

void TestAssetWidget::initTestCase()
{
    const QString root = dir_.path() + "/data/";
    QVERIFY(test::writeAsset(root, "worlds/level1.world", WORLD, AssetType::WORLD));
    QVERIFY(test::writeAsset(root, "worlds/level2.world", OTHER_WORLD, AssetType::WORLD));
    QVERIFY(test::writeAsset(root, "textures/logo.png", IMAGE, AssetType::IMAGE));
    QVERIFY(assets_.start(root));
    QCOMPARE(assets_->getNumAssets(), 3);
}

void TestAssetWidget::cleanupTestCase()
{
    Dialogs::setResponder({});
    assets_.stop();
}

void TestAssetWidget::a_guid_set_from_code_is_shown_and_not_reported()
{
    AssetWidget widget;
    QSignalSpy changed(&widget, &AssetWidget::guidChanged);
    widget.setGuid(WORLD);
    QCOMPARE(widget.displayText(), QStringLiteral("worlds/level1.world"));
    widget.setGuid(UNKNOWN);
    QCOMPARE(widget.displayText(), QString::fromLatin1(UNKNOWN.getString().get()));
    QCOMPARE(changed.count(), 0);
    widget.changeGuid(WORLD);
    widget.changeGuid(WORLD);
    QCOMPARE(changed.count(), 1);
}

void TestAssetWidget::a_drop_takes_the_first_asset_of_an_allowed_type_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<UGUID>("taken");
    const QByteArray ours = AssetsMimeDataHandler::MIME_TYPE;
    const QByteArray world = WORLD.getString().get();
    const QByteArray other = OTHER_WORLD.getString().get();
    const QByteArray image = IMAGE.getString().get();
    QTest::newRow("a world") << ours << world << WORLD;
    QTest::newRow("an image, then two worlds") << ours << image + "\n" + other + "\n" + world << OTHER_WORLD;
    QTest::newRow("text and an unknown asset, then a world")
            << ours << "no guid\n" + QByteArray(UNKNOWN.getString().get()) + "\n" + world << WORLD;
    QTest::newRow("only an image") << ours << image << UGUID();
    QTest::newRow("foreign data") << QByteArray("text/plain") << world << UGUID();
}

void TestAssetWidget::a_drop_takes_the_first_asset_of_an_allowed_type()
{
    QFETCH(QByteArray, format);
    QFETCH(QByteArray, payload);
    QFETCH(UGUID, taken);
    AssetWidget widget;
    widget.setAssetType(AssetType::WORLD);
    QSignalSpy changed(&widget, &AssetWidget::guidChanged);
    QMimeData data;
    data.setData(format, payload);
    QCOMPARE(widget.canDrop(&data), taken.isValid());
    QCOMPARE(widget.dropMimeData(&data), taken.isValid());
    QCOMPARE(widget.guid(), taken);
    QCOMPARE(changed.count(), taken.isValid() ? 1 : 0);
}

void TestAssetWidget::a_delegate_decides_drops_and_its_guid_is_a_user_change()
{
    AssetWidget widget;
    widget.setAssetType(AssetType::WORLD);
    widget.setDragAndDropDelegate(std::make_unique<TextDelegate>());
    QCOMPARE(widget.dragAndDropDelegate()->assetWidget(), &widget);
    QSignalSpy changed(&widget, &AssetWidget::guidChanged);
    std::unique_ptr<QMimeData> world(AssetsMimeDataHandler::createMimeData({WORLD}));
    QVERIFY(!widget.canDrop(world.get()));
    QMimeData text;
    text.setText("take me");
    QVERIFY(widget.dropMimeData(&text));
    QCOMPARE(widget.guid(), IMAGE);
    QCOMPARE(changed.count(), 1);
    widget.setDragAndDropDelegate(nullptr);
    QVERIFY(widget.canDrop(world.get()));
}

void TestAssetWidget::browse_reports_the_asset_the_chooser_answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<UGUID>("chosen");
    QTest::newRow("a data-relative path") << "worlds/level2.world" << OTHER_WORLD;
    QTest::newRow("a guid") << QString::fromLatin1(WORLD.getString().get()) << WORLD;
    QTest::newRow("cancel") << "" << UGUID();
    QTest::newRow("a path that is no asset") << "worlds/none.world" << UGUID();
}

void TestAssetWidget::browse_reports_the_asset_the_chooser_answers()
{
    QFETCH(QString, answer);
    QFETCH(UGUID, chosen);
    AssetWidget widget;
    widget.setAssetType(AssetType::WORLD);
    widget.setGuid(IMAGE);
    QList<Dialogs::Request> requests;
    Dialogs::setResponder([&](const Dialogs::Request &request) {
        requests << request;
        return answer;
    });
    QSignalSpy changed(&widget, &AssetWidget::guidChanged);
    QTest::mouseClick(widget.browseButton(), Qt::LeftButton);
    QCOMPARE(requests.size(), 1);
    QCOMPARE(int(requests.first().kind), int(Dialogs::Kind::SelectAsset));
    QCOMPARE(requests.first().asset_types, QVector<int>{AssetType::WORLD});
    QCOMPARE(requests.first().start, QString::fromLatin1(IMAGE.getString().get()));
    // The answer comes from the event loop, never from inside the click.
    QCOMPARE(changed.count(), 0);
    QCOMPARE(changed.wait(chosen.isValid() ? 2000 : 50), chosen.isValid());
    QCOMPARE(widget.guid(), chosen.isValid() ? chosen : IMAGE);
}

QTEST_MAIN(TestAssetWidget)
#include "tst_asset_widget.moc"
