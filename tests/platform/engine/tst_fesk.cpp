#include "velmora/Fesk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Velmora::FeskNode;

namespace {

QByteArray nested(int depth)
{
    QByteArray text;
    for (int i = 0; i < depth; i++)
        text += "N{";
    for (int i = 0; i < depth; i++)
        text += "}";
    return text;
}

const char MATERIAL[] = "\xEF\xBB\xBF# a material\n"
                        "Material(name=\"metal\", parent_name=\"base_rock\") {\n"
                        "    Texture(name=\"albedo\") = \"textures/metal_d.png\";\n"
                        "    Parameter(name=\"mask\", expression=true) = \"mix(a.png, b.png)\"; # trailing\n"
                        "    State(name=\"depth_map\") = 1 ? \"quality > 1\";\n"
                        "    Color = [0.5, 1, \"x,y\"];\n"
                        "    Empty = [];\n"
                        "    Options(transparent=0, list=[a,b]);\n"
                        "    Nested() { Inner; }\n"
                        "}\n"
                        "Other;\n";

} // namespace

class TestFesk : public QObject
{
    Q_OBJECT

private slots:
    void a_material_document_reads_into_nodes()
    {
        Velmora::Ptr<FeskNode> root = FeskNode::create();
        QVERIFY(root->parse(MATERIAL));
        QCOMPARE(QByteArray(root->getType()), QByteArray(""));
        QCOMPARE(root->getNumChildren(), 2);
        FeskNode *material = root->findChild("Material");
        QVERIFY(material);
        QCOMPARE(material->getNumArgs(), 2);
        QCOMPARE(QByteArray(material->getArg(1).getName()), QByteArray("parent_name"));
        QCOMPARE(QByteArray(material->getArgValue("name")), QByteArray("metal"));
        QCOMPARE(material->getNumChildren(), 7);

        FeskNode *texture = material->getChild(0);
        QCOMPARE(QByteArray(texture->getValue().getString()), QByteArray("textures/metal_d.png"));
        QVERIFY(!texture->getValue().isArray());

        FeskNode *parameter = material->getChild(1);
        QVERIFY(parameter->getArgBool("expression", false));
        QCOMPARE(QByteArray(parameter->getValue().getString()), QByteArray("mix(a.png, b.png)"));

        FeskNode *state = material->getChild(2);
        QCOMPARE(QByteArray(state->getValue().getString()), QByteArray("1"));
        QCOMPARE(QByteArray(state->getCondition()), QByteArray("quality > 1"));

        const Velmora::FeskValue &color = material->getChild(3)->getValue();
        QVERIFY(color.isArray());
        QCOMPARE(color.size(), 3);
        QCOMPARE(QByteArray(color.get(2)), QByteArray("x,y"));
        QCOMPARE(QByteArray(color.getString()), QByteArray("0.5,1,x,y"));
        QCOMPARE(material->getChild(4)->getValue().size(), 0);

        FeskNode *options = material->getChild(5);
        QCOMPARE(QByteArray(options->getArgValue("list")), QByteArray("a,b"));
        QVERIFY(!options->getArgBool("transparent", true));
        QCOMPARE(material->getChild(6)->getNumArgs(), 0);
        QCOMPARE(QByteArray(material->getChild(6)->getChild(0)->getType()), QByteArray("Inner"));
        QCOMPARE(material->getChild(6)->getChild(0)->getParent(), material->getChild(6));

        // A node without "=" has the empty single string.
        const Velmora::FeskValue &none = root->getChild(1)->getValue();
        QVERIFY(!none.isArray());
        QCOMPARE(none.size(), 1);
        QCOMPARE(QByteArray(none.getString()), QByteArray(""));
    }

    void string_escapes_are_decoded()
    {
        FeskNode root;
        QVERIFY(root.parse("T = \"a\\\"b\\\\c\\nd\\te # not a comment\";"));
        QCOMPARE(QByteArray(root.getChild(0)->getValue().getString()), QByteArray("a\"b\\c\nd\te # not a comment"));
    }

    void argument_booleans_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("fallback");
        QTest::addColumn<bool>("result");
        QTest::newRow("1") << QByteArray("1") << false << true;
        QTest::newRow("TRUE") << QByteArray("TRUE") << false << true;
        QTest::newRow("False") << QByteArray("False") << true << false;
        QTest::newRow("0") << QByteArray("0") << true << false;
        QTest::newRow("yes falls back") << QByteArray("yes") << true << true;
        QTest::newRow("2 falls back") << QByteArray("2") << false << false;
    }
    void argument_booleans()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, fallback);
        FeskNode root;
        QVERIFY(root.parse(("N(flag=" + value + ");").constData()));
        QTEST(root.getChild(0)->getArgBool("flag", fallback), "result");
        QCOMPARE(root.getChild(0)->getArgBool("absent", fallback), fallback);
    }

    void bad_documents_are_refused_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("comment only") << QByteArray("# nothing here\n");
        QTest::newRow("xml") << QByteArray("  <material name=\"m\"/>");
        QTest::newRow("missing semicolon") << QByteArray("A B;");
        QTest::newRow("unterminated string") << QByteArray("A = \"abc;");
        QTest::newRow("unknown escape") << QByteArray("A = \"\\q\";");
        QTest::newRow("argument without value") << QByteArray("A(x=);");
        QTest::newRow("argument without name") << QByteArray("A(=1);");
        QTest::newRow("type starting with a digit") << QByteArray("1A;");
        QTest::newRow("unclosed block") << QByteArray("A { B;");
        QTest::newRow("unclosed array") << QByteArray("A = [1, 2;");
        QTest::newRow("condition without string") << QByteArray("A ? x;");
        QTest::newRow("257 levels") << nested(257);
    }
    void bad_documents_are_refused()
    {
        QFETCH(QByteArray, text);
        FeskNode root;
        QVERIFY(root.parse("Old;"));
        QVERIFY(!root.parse(text.constData()));
        QCOMPARE(root.getNumChildren(), 0);
        QVERIFY(QByteArray(root.getError()).size() > 0);
    }

    void nesting_of_256_levels_is_accepted()
    {
        FeskNode root;
        QVERIFY(root.parse(nested(256).constData()));
    }

    void files_load_and_bad_files_fail()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath("m.mat");
        QFile file(good);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(MATERIAL);
        file.close();
        FeskNode root;
        QVERIFY(root.load(good.toUtf8().constData()));
        QCOMPARE(root.getNumChildren(), 2);
        QVERIFY(!root.load(dir.filePath("missing.mat").toUtf8().constData()));
        QCOMPARE(root.getNumChildren(), 0);

        const QString large = dir.filePath("large.mat");
        QFile big(large);
        QVERIFY(big.open(QIODevice::WriteOnly));
        big.write("A;");
        QVERIFY(big.resize(FeskNode::MAX_FILE_SIZE + 1));
        big.close();
        QVERIFY(!root.load(large.toUtf8().constData()));
    }
};

QTEST_GUILESS_MAIN(TestFesk)
#include "tst_fesk.moc"
