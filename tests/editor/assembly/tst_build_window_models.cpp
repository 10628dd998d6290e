// The copy-rule table, the resolution list and the two widgets of the
// "Create Build" window built on them: the copy-rule editor and the combo
// box whose popup stays open while items are ticked.

#include "editor/assembly/core/resolution.h"
#include "editor/assembly/models/copy_rules_model.h"
#include "editor/assembly/models/resolutions_model.h"
#include "editor/assembly/ui/combo_box_with_checkboxes.h"
#include "editor/assembly/ui/combo_box_with_checkboxes_delegate.h"
#include "editor/assembly/ui/copy_rules_widget.h"

#include <QAbstractItemModelTester>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace assembly;

namespace {

QStyleOptionViewItem optionFor(QAbstractItemView *view, const QModelIndex &index)
{
    QStyleOptionViewItem option;
    option.initFrom(view);
    option.rect = view->visualRect(index);
    option.state |= QStyle::State_Enabled;
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    return option;
}

} // namespace

class TestBuildWindowModels : public QObject
{
    Q_OBJECT

private slots:
    void copy_rules_table_shows_and_edits_both_fields();
    void resolution_rows_carry_label_check_state_and_resolution();
    void resolution_check_state_changes_are_announced_only_when_they_change_data();
    void resolution_check_state_changes_are_announced_only_when_they_change();

    void add_line_appends_an_empty_rule_and_opens_it_for_editing();
    void context_menu_is_offered_only_on_a_row_with_a_selection();

    void check_events_toggle_only_inside_the_check_box_data();
    void check_events_toggle_only_inside_the_check_box();
    void a_tick_keeps_the_popup_open_and_the_next_close_request_closes_it();
};

void TestBuildWindowModels::copy_rules_table_shows_and_edits_both_fields()
{
    CopyRuleList rules{{"/home/u/readme.txt", "docs"}, {"/home/u/art/*.png", "art"}};
    CopyRulesModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    model.setRules(&rules);
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("/home/u/art/*.png"));
    QCOMPARE(model.index(1, 1).data(Qt::EditRole).toString(), QStringLiteral("art"));
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("From (Absolute Path)"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("To (Relative Path)"));
    QVERIFY(!model.headerData(0, Qt::Vertical).isValid());
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);

    QSignalSpy changed(&model, &CopyRulesModel::dataChanged);
    QVERIFY(model.setData(model.index(0, 1), QStringLiteral("docs")));
    QCOMPARE(changed.count(), 0);
    QVERIFY(model.setData(model.index(0, 1), QStringLiteral("manual")));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(0, 1));
    // The model edits the owner's list.
    QCOMPARE(rules.at(0).to, QStringLiteral("manual"));
    QCOMPARE(rules.at(0).from, QStringLiteral("/home/u/readme.txt"));
    // Only the edit role of the two columns, inside the list.
    QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x"), Qt::DisplayRole));
    QVERIFY(!model.setData(model.index(2, 0), QStringLiteral("x")));
    QVERIFY(!model.setData(model.index(0, 2), QStringLiteral("x")));
    QCOMPARE(changed.count(), 1);
}

void TestBuildWindowModels::resolution_rows_carry_label_check_state_and_resolution()
{
    ResolutionsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const QVector<Resolution> all = aspectRatios();
    model.setResolutions(all);
    QCOMPARE(model.rowCount(), all.size());
    const int row = model.rowOf(Resolution{QSize(16, 10), 1280});
    QVERIFY(row >= 0);
    const QModelIndex index = model.index(row);
    QCOMPARE(index.data().toString(), QStringLiteral("1280x800 [16:10]"));
    QCOMPARE(index.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(ResolutionsModel::RESOLUTION_ROLE, 257);
    QCOMPARE(index.data(257).value<Resolution>(), (Resolution{QSize(16, 10), 1280}));
    QVERIFY(model.flags(index) & Qt::ItemIsUserCheckable);
    QCOMPARE(model.rowOf(Resolution{QSize(16, 9), 123}), -1);

    // A new list starts unchecked.
    QVERIFY(model.setData(model.index(0), Qt::Checked, Qt::CheckStateRole));
    model.setResolutions(all.mid(0, 3));
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(!model.isChecked(0));
}

void TestBuildWindowModels::resolution_check_state_changes_are_announced_only_when_they_change_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("role");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("checked");
    QTest::newRow("checked") << QVariant(int(Qt::Checked)) << int(Qt::CheckStateRole) << true << true;
    QTest::newRow("unchecked") << QVariant(int(Qt::Unchecked)) << int(Qt::CheckStateRole) << true << false;
    QTest::newRow("not a number") << QVariant(QStringLiteral("yes")) << int(Qt::CheckStateRole) << false << false;
    QTest::newRow("edit role") << QVariant(int(Qt::Checked)) << int(Qt::EditRole) << false << false;
}

void TestBuildWindowModels::resolution_check_state_changes_are_announced_only_when_they_change()
{
    QFETCH(QVariant, value);
    QFETCH(int, role);
    QFETCH(bool, accepted);
    QFETCH(bool, checked);
    ResolutionsModel model;
    model.setResolutions(aspectRatios());
    QSignalSpy changed(&model, &ResolutionsModel::dataChanged);
    QCOMPARE(model.setData(model.index(2), value, role), accepted);
    QCOMPARE(model.isChecked(2), checked);
    QCOMPARE(changed.count(), checked ? 1 : 0);
    // The same state again changes nothing.
    QCOMPARE(model.setData(model.index(2), value, role), accepted);
    QCOMPARE(changed.count(), checked ? 1 : 0);
}

void TestBuildWindowModels::add_line_appends_an_empty_rule_and_opens_it_for_editing()
{
    CopyRulesWidget widget;
    QSignalSpy changed(&widget, &CopyRulesWidget::dataChanged);
    widget.setRules({{"/a", "b"}});
    widget.show();
    QVERIFY(QTest::qWaitForWindowActive(&widget));
    QTest::mouseClick(widget.addButton(), Qt::LeftButton);
    QCOMPARE(widget.rules().size(), 2);
    QCOMPARE(widget.rules().last(), CopyRule());
    QCOMPARE(changed.count(), 2);
    const QModelIndex from = widget.model()->index(1, 0);
    QVERIFY(widget.view()->isPersistentEditorOpen(from));
    const QModelIndexList selected = widget.view()->selectionModel()->selectedIndexes();
    QCOMPARE(selected.size(), 2);
    QVERIFY(selected.contains(from) && selected.contains(widget.model()->index(1, 1)));
    QVERIFY(widget.view()->indexWidget(from)->hasFocus());
    // An edited cell is announced too.
    QVERIFY(widget.model()->setData(widget.model()->index(0, 0), QStringLiteral("/z")));
    QCOMPARE(changed.count(), 3);
    // Rows outside the list are not removed.
    widget.remove_line(-1);
    widget.remove_line(2);
    QCOMPARE(changed.count(), 3);
    widget.remove_line(0);
    QCOMPARE(widget.rules(), CopyRuleList{CopyRule()});
    QCOMPARE(changed.count(), 4);
}

void TestBuildWindowModels::context_menu_is_offered_only_on_a_row_with_a_selection()
{
    CopyRulesWidget widget;
    widget.setRules({{"/a", "b"}, {"/c", "d"}});
    widget.resize(400, 300);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTableView *view = widget.view();
    const QPoint on_second_row = view->visualRect(widget.model()->index(1, 1)).center();
    const QPoint below_rows = view->visualRect(widget.model()->index(1, 0)).bottomLeft() + QPoint(5, 30);

    QCOMPARE(widget.contextMenuRow(on_second_row), -1);
    widget.select_line(0);
    QCOMPARE(widget.contextMenuRow(on_second_row), 0);
    QCOMPARE(widget.contextMenuRow(below_rows), -1);
}

void TestBuildWindowModels::check_events_toggle_only_inside_the_check_box_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("inside");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("toggles");
    const int none = 0;
    QTest::newRow("left press inside") << int(QEvent::MouseButtonPress) << int(Qt::LeftButton) << true << none << true;
    QTest::newRow("left release inside") << int(QEvent::MouseButtonRelease) << int(Qt::LeftButton) << true << none
                                         << true;
    QTest::newRow("double click inside") << int(QEvent::MouseButtonDblClick) << int(Qt::LeftButton) << true << none
                                         << true;
    QTest::newRow("left press on the text")
            << int(QEvent::MouseButtonPress) << int(Qt::LeftButton) << false << none << false;
    QTest::newRow("right press inside") << int(QEvent::MouseButtonPress) << int(Qt::RightButton) << true << none
                                        << false;
    QTest::newRow("space") << int(QEvent::KeyPress) << none << false << int(Qt::Key_Space) << true;
    QTest::newRow("select") << int(QEvent::KeyPress) << none << false << int(Qt::Key_Select) << true;
    QTest::newRow("letter") << int(QEvent::KeyPress) << none << false << int(Qt::Key_A) << false;
    QTest::newRow("mouse move") << int(QEvent::MouseMove) << none << true << none << false;
}

void TestBuildWindowModels::check_events_toggle_only_inside_the_check_box()
{
    QFETCH(int, type);
    QFETCH(int, button);
    QFETCH(bool, inside);
    QFETCH(int, key);
    QFETCH(bool, toggles);
    ResolutionsModel model;
    model.setResolutions(aspectRatios());
    ComboBoxWithCheckboxes combo;
    combo.setModel(&model);
    combo.show();
    auto delegate = combo.checkDelegate();
    QSignalSpy ticked(delegate, &private_impl::ComboBoxWithCheckboxesDelegate::dataChanged);
    const QModelIndex index = model.index(1);
    const QStyleOptionViewItem option = optionFor(combo.view(), index);
    const QRect check = delegate->checkRect(option);
    QVERIFY(option.rect.contains(check.center()));
    const QPoint point = inside ? check.center() : QPoint(option.rect.right() - 2, option.rect.center().y());
    QVERIFY(inside || !check.contains(point));

    std::unique_ptr<QEvent> event;
    if (type == QEvent::KeyPress)
        event = std::make_unique<QKeyEvent>(QEvent::KeyPress, key, Qt::NoModifier);
    else
        event = std::make_unique<QMouseEvent>(QEvent::Type(type), point, Qt::MouseButton(button),
                                              Qt::MouseButtons(button), Qt::NoModifier);
    QCOMPARE(delegate->editorEvent(event.get(), &model, option, index), toggles);
    QCOMPARE(model.isChecked(1), toggles);
    QCOMPARE(ticked.count(), toggles ? 1 : 0);
}

void TestBuildWindowModels::a_tick_keeps_the_popup_open_and_the_next_close_request_closes_it()
{
    ResolutionsModel model;
    model.setResolutions(aspectRatios());
    ComboBoxWithCheckboxes combo;
    combo.setModel(&model);
    combo.show();
    QVERIFY(QTest::qWaitForWindowExposed(&combo));

    // Without a tick the popup closes as usual.
    combo.showPopup();
    QTRY_VERIFY(combo.view()->isVisible());
    combo.hidePopup();
    QTRY_VERIFY(!combo.view()->isVisible());

    combo.showPopup();
    QTRY_VERIFY(combo.view()->isVisible());
    const QModelIndex index = model.index(3);
    const QStyleOptionViewItem option = optionFor(combo.view(), index);
    QMouseEvent press(QEvent::MouseButtonPress, combo.checkDelegate()->checkRect(option).center(), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QVERIFY(combo.checkDelegate()->editorEvent(&press, &model, option, index));
    QVERIFY(model.isChecked(3));
    // The release of the same click asks the popup to close: it stays.
    combo.hidePopup();
    QTest::qWait(50);
    QVERIFY(combo.view()->isVisible());
    combo.hidePopup();
    QTRY_VERIFY(!combo.view()->isVisible());
}

QTEST_MAIN(TestBuildWindowModels)
#include "tst_build_window_models.moc"
