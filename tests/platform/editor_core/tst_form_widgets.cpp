#include <editor_core/AccordionWidget.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/FileNameValidator.h>
#include <editor_core/LabelFieldLayout.h>
#include <editor_core/ResettableWidget.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TestFormWidgets : public QObject
{
    Q_OBJECT

private slots:
    void a_hidden_row_hides_its_label_and_every_widget_of_its_field();
    void accordion_sections_open_and_close_from_their_headers();
    void file_name_validator_removes_forbidden_characters_and_grades_the_rest_data();
    void file_name_validator_removes_forbidden_characters_and_grades_the_rest();
    void reset_button_clears_an_asset_field_as_a_user_change();
};

void TestFormWidgets::a_hidden_row_hides_its_label_and_every_widget_of_its_field()
{
    QWidget form;
    auto layout = new LabelFieldLayout(&form);
    auto name = new QLineEdit;
    auto path_label = new QLabel("Path");
    auto path_row = new QHBoxLayout;
    auto path = new QLineEdit;
    auto browse = new QToolButton;
    path_row->addWidget(path);
    path_row->addWidget(browse);
    QCOMPARE(layout->addLabelField(new QLabel("Name"), name), 0);
    QCOMPARE(layout->addLabelField(path_label, path_row), 1);
    form.show();

    layout->setVisibleRow(1, false);
    layout->setVisibleRow(7, false);
    QVERIFY(!path_label->isVisible() && !path->isVisible() && !browse->isVisible());
    QVERIFY(name->isVisible());
    QVERIFY(!layout->isVisibleRow(1) && layout->isVisibleRow(0) && !layout->isVisibleRow(7));
    layout->setVisibleRow(1, true);
    QVERIFY(path_label->isVisible() && path->isVisible() && browse->isVisible());
    QCOMPARE(layout->rowOf(browse), 1);
    QCOMPARE(layout->rowOf(&form), -1);
}

void TestFormWidgets::accordion_sections_open_and_close_from_their_headers()
{
    AccordionWidget accordion;
    auto first = new QLabel("first");
    auto second = new QLineEdit;
    auto second_layout = new QHBoxLayout;
    second_layout->addWidget(second);
    QCOMPARE(accordion.addSection("Common", first), 0);
    QCOMPARE(accordion.addSection("Arguments", second_layout, false), 1);
    accordion.show();
    QSignalSpy toggled(&accordion, &AccordionWidget::sectionToggled);
    QVERIFY(first->isVisible() && !second->isVisible());

    QTest::mouseClick(accordion.sectionHeader(1), Qt::LeftButton);
    QTest::mouseClick(accordion.sectionHeader(0), Qt::LeftButton);
    QVERIFY(second->isVisible() && !first->isVisible());
    QCOMPARE(accordion.sectionHeader(0)->arrowType(), Qt::RightArrow);
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(toggled.at(0), (QVariantList{1, true}));
    accordion.setSectionOpen(0, true);
    QVERIFY(first->isVisible() && accordion.isSectionOpen(0));
}

void TestFormWidgets::file_name_validator_removes_forbidden_characters_and_grades_the_rest_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("pos");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("output_pos");
    QTest::addColumn<bool>("usable");
    QTest::newRow("plain name") << "game" << 4 << "game" << 4 << true;
    QTest::newRow("cursor after removed separators") << "my/game\\x" << 9 << "mygamex" << 7 << true;
    QTest::newRow("cursor before a removed character") << "a:b*c" << 1 << "abc" << 1 << true;
    QTest::newRow("every forbidden character") << "a\\/:*?\"<>|\tb" << 12 << "ab" << 2 << true;
    QTest::newRow("empty") << "" << 0 << "" << 0 << false;
    QTest::newRow("dot dot") << ".." << 2 << ".." << 2 << false;
    QTest::newRow("trailing dot") << "game." << 5 << "game." << 5 << false;
    QTest::newRow("leading blank") << " game" << 5 << " game" << 5 << false;
    QTest::newRow("too long") << QString(300, 'n') << 300 << QString(255, 'n') << 255 << true;
}

void TestFormWidgets::file_name_validator_removes_forbidden_characters_and_grades_the_rest()
{
    QFETCH(QString, input);
    QFETCH(int, pos);
    QFETCH(QString, output);
    QFETCH(int, output_pos);
    QFETCH(bool, usable);
    FileNameValidator validator;
    QCOMPARE(validator.validate(input, pos), usable ? QValidator::Acceptable : QValidator::Intermediate);
    QCOMPARE(input, output);
    QCOMPARE(pos, output_pos);
}

void TestFormWidgets::reset_button_clears_an_asset_field_as_a_user_change()
{
    auto asset = new AssetWidget;
    ResettableWidget resettable(asset);
    QCOMPARE(asset->parentWidget(), &resettable);
    asset->setGuid(Velmora::UGUID("aaaaa00000000000000000000000000000000101"));
    QSignalSpy changed(asset, &AssetWidget::guidChanged);
    QSignalSpy clicked(&resettable, &ResettableWidget::resetClicked);
    resettable.show();

    QTest::mouseClick(resettable.resetButton(), Qt::LeftButton);
    QTest::mouseClick(resettable.resetButton(), Qt::LeftButton);
    // The second click finds it empty already: nothing changes.
    QCOMPARE(changed.count(), 1);
    QVERIFY(changed.at(0).at(0).value<Velmora::UGUID>().isEmpty());
    QVERIFY(asset->guid().isEmpty());
    QCOMPARE(clicked.count(), 2);
}

QTEST_MAIN(TestFormWidgets)
#include "tst_form_widgets.moc"
