#include "asset_files.h"

#include "velmora/Xml.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using Velmora::Xml;

namespace {

QByteArray nested(int depth)
{
    QByteArray text;
    for (int i = 0; i < depth; i++)
        text += "<n>";
    for (int i = 0; i < depth; i++)
        text += "</n>";
    return text;
}

// One line per element: depth, name, arguments and data, in document order.
QByteArray outline(const Xml &element, int depth = 0)
{
    QByteArray text = QByteArray(depth, ' ') + element.getName();
    for (int i = 0; i < element.getNumArgs(); i++)
        text += QByteArray(" ") + element.getArgName(i) + "=[" + element.getArgValue(i) + "]";
    text += QByteArray(" {") + element.getData() + "}\n";
    for (int i = 0; i < element.getNumChildren(); i++)
        text += outline(*element.getChild(i), depth + 1);
    return text;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestXml : public QObject
{
    Q_OBJECT

private slots:
    void malformed_documents_are_refused_and_leave_the_element_empty_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("blanks only") << QByteArray(" \n\t ");
        QTest::newRow("FESK text") << QByteArray("Material(name=\"m\") { }");
        QTest::newRow("text before the root") << QByteArray("x<root/>");
        QTest::newRow("BOM then text") << QByteArray("\xEF\xBB\xBFhello");
        QTest::newRow("unclosed element") << QByteArray("<root><a></root>");
        QTest::newRow("declaration only") << QByteArray("<?xml version=\"1.0\"?>");
        QTest::newRow("comment only") << QByteArray("<!-- nothing -->");
        QTest::newRow("257 levels") << nested(257);
        QTest::newRow("bad attribute") << QByteArray("<root a=1/>");
    }
    void malformed_documents_are_refused_and_leave_the_element_empty()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("doc.xml").toUtf8();
        QVERIFY(writeFile(QString::fromUtf8(path), text));
        Xml xml;
        for (bool from_file : {false, true}) {
            QVERIFY(xml.parse("<old a=\"1\"><child/></old>"));
            QVERIFY(from_file ? !xml.load(path.constData()) : !xml.parse(text.constData(), text.size()));
            QCOMPARE(QByteArray(xml.getName()), QByteArray());
            QCOMPARE(xml.getNumArgs(), 0);
            QCOMPARE(xml.getNumChildren(), 0);
        }
    }

    void texts_read_the_same_from_a_file_and_from_memory_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("line ends and blanks in attributes")
                << QByteArray("<r a=\"x\r\ny\tz\">one\r\ntwo</r>") << QByteArray("r a=[x y z] {one\ntwo}\n");
        QTest::newRow("trimmed text before a child")
                << QByteArray("<r>  v  <c n=\"1\">w</c></r>") << QByteArray("r {v}\n c n=[1] {w}\n");
        QTest::newRow("pieces around children")
                << QByteArray("<r> a <c/>b<![CDATA[ c ]]><d/> </r>") << QByteArray("r {a b c}\n c {}\n d {}\n");
        QTest::newRow("blank and empty pieces")
                << QByteArray("<r> <![CDATA[]]> <c>  </c></r>") << QByteArray("r {}\n c {}\n");
        QTest::newRow("entities and a BOM") << QByteArray("\xEF\xBB\xBF<r q=\"&quot;&#x263A;\">&amp;&#233;</r>")
                                            << QByteArray("r q=[\"\xE2\x98\xBA] {&\xC3\xA9}\n");
    }
    void texts_read_the_same_from_a_file_and_from_memory()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("doc.xml").toUtf8();
        QVERIFY(writeFile(QString::fromUtf8(path), text));
        Xml from_text;
        QVERIFY(from_text.parse(text.constData(), text.size()));
        QCOMPARE(outline(from_text), expected);
        Xml from_file;
        QVERIFY(from_file.load(path.constData()));
        QCOMPARE(outline(from_file), expected);
    }

    void a_bom_and_256_levels_are_accepted()
    {
        Xml xml;
        QVERIFY(xml.parse("\xEF\xBB\xBF  \n<root/>"));
        QCOMPARE(QByteArray(xml.getName()), QByteArray("root"));
        const QByteArray deep = nested(256);
        QVERIFY(xml.parse(deep.constData()));
        int depth = 1;
        for (Xml *e = &xml; e->getNumChildren(); e = e->getChild(0))
            depth++;
        QCOMPARE(depth, 256);
    }

    void external_entities_are_never_read()
    {
        QTemporaryDir dir;
        const QString secret = dir.filePath("secret.txt");
        QVERIFY(writeFile(secret, "TOP SECRET"));
        const QByteArray text = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secret.toUtf8()
                + "\">]>\n<r>&x;</r>";
        Xml xml;
        QVERIFY(xml.parse(text.constData()));
        QCOMPARE(QByteArray(xml.getData()), QByteArray("&x;")); // left as written, never expanded
    }

    void data_is_own_text_and_cdata_trimmed()
    {
        Xml xml;
        QVERIFY(xml.parse("<r>\n  one <child>not mine</child> two <![CDATA[<three>]]>  \n</r>"));
        QCOMPARE(QByteArray(xml.getData()), QByteArray("one  two <three>"));
        QCOMPARE(QByteArray(xml.getChild(0)->getData()), QByteArray("not mine"));
        QVERIFY(xml.parse("<r>&lt;&amp;&#65;&#x42;</r>"));
        QCOMPARE(QByteArray(xml.getData()), QByteArray("<&AB"));
    }

    void attributes_keep_document_order_and_parse_numbers()
    {
        Xml xml;
        QVERIFY(xml.parse("<asset version=\"1\" guid=\"g\" type=\" 7 \" bad=\"7x\" f=\"0.5\" on=\"TRUE\"/>"));
        QCOMPARE(xml.getNumArgs(), 6);
        QCOMPARE(QByteArray(xml.getArgName(1)), QByteArray("guid"));
        QCOMPARE(QByteArray(xml.getArgValue(1)), QByteArray("g"));
        QCOMPARE(QByteArray(xml.getArgName(6)), QByteArray(""));
        QCOMPARE(xml.findArg("type"), 2);
        QCOMPARE(xml.findArg("missing"), -1);
        QCOMPARE(QByteArray(xml.getArg("missing")), QByteArray(""));
        QCOMPARE(xml.getIntArg("type"), 7);
        QCOMPARE(xml.getIntArg("bad"), 0);
        QCOMPARE(xml.getIntArg("missing", -1), -1);
        QCOMPARE(xml.getFloatArg("f"), 0.5f);
        QVERIFY(xml.getBoolArg("on"));
    }

    void children_keep_order_and_are_found_by_name()
    {
        Xml xml;
        QVERIFY(xml.parse("<r><a i=\"1\"/><b/><a i=\"2\"/></r>"));
        QCOMPARE(xml.getNumChildren(), 3);
        QCOMPARE(xml.findChild("a")->getIntArg("i"), 1);
        QCOMPARE(xml.getChild(1)->getParent(), &xml);
        QVERIFY(xml.getChild(3) == nullptr);
        QVERIFY(xml.getChild(-1) == nullptr);
        QVERIFY(xml.findChild("c") == nullptr);
        QVERIFY(xml.removeChild(0));
        QCOMPARE(xml.findChild("a")->getIntArg("i"), 2);
        QVERIFY(!xml.removeChild(5));
    }

    void edited_tree_saves_with_tabs_and_loads_back()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("out.meta");
        Velmora::Ptr<Xml> xml = Xml::create("asset");
        xml->setArg("guid", "aaaaa00000000000000000000000000000000101");
        xml->setIntArg("type", 7);
        xml->setArg("type", "8"); // replaces, keeps position
        Xml *import = xml->addChild("import");
        Xml *param = import->addChild("param");
        param->setArg("name", "a\"b");
        param->setData("x < y & z");
        QVERIFY(xml->save(path.toUtf8().constData()));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"));
        QVERIFY(text.contains("\n\t<import>\n\t\t<param name=\"a&quot;b\">x &lt; y &amp; z</param>\n"));

        Xml loaded;
        QVERIFY(loaded.load(path.toUtf8().constData()));
        QCOMPARE(QByteArray(loaded.getArgName(1)), QByteArray("type"));
        QCOMPARE(loaded.getIntArg("type"), 8);
        Xml *p = loaded.findChild("import")->findChild("param");
        QCOMPARE(QByteArray(p->getArg("name")), QByteArray("a\"b"));
        QCOMPARE(QByteArray(p->getData()), QByteArray("x < y & z"));

        // The longest name a file system takes, new and over itself.
        const QByteArray longest = dir.filePath(QString(251, QLatin1Char('w')) + QStringLiteral(".xml")).toUtf8();
        QVERIFY(xml->save(longest.constData()));
        QVERIFY(xml->save(longest.constData()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
    }

    void edits_of_a_loaded_tree_save_like_a_tree_built_by_hand()
    {
        Xml xml;
        QVERIFY(xml.parse("<r a=\"1\"><x k=\"v\"><y/></x><z>one<w/>two</z></r>"));
        xml.setArg("a", "2");
        for (const char *name : {"b", "c", "d", "e", "f"})
            xml.setArg(name, name);
        QVERIFY(xml.removeArg("c"));
        xml.setName("root");
        Xml *z = xml.findChild("z");
        z->setData("three");
        z->addChild("v")->setArg("n", "1");
        QVERIFY(xml.removeChild(xml.findChild("x"))); // a loaded child with a child of its own
        for (int i = 0; i < 5; i++)
            xml.addChild("c")->setIntArg("i", i);
        QVERIFY(xml.removeChild(2));
        QVERIFY(xml.getChild(1)->parse("<p q=\"r\"><s>t</s></p>")); // an element of the tree reads a document
        QCOMPARE(xml.getChild(1)->getParent(), &xml);

        const QByteArray expected = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                    "<root a=\"2\" b=\"b\" d=\"d\" e=\"e\" f=\"f\">\n"
                                    "\t<z>three<w />\n\t\t<v n=\"1\" />\n\t</z>\n"
                                    "\t<p q=\"r\">\n\t\t<s>t</s>\n\t</p>\n"
                                    "\t<c i=\"2\" />\n\t<c i=\"3\" />\n\t<c i=\"4\" />\n"
                                    "</root>\n";
        QCOMPARE(QByteArray(xml.toString().get()), expected);
        Xml again;
        QVERIFY(again.parse(expected.constData()));
        QCOMPARE(QByteArray(again.toString().get()), expected);
    }

    void texts_of_the_tree_can_be_given_back_to_it()
    {
        QTemporaryDir dir;
        const QByteArray path = dir.filePath("other.xml").toUtf8();
        QVERIFY(writeFile(QString::fromUtf8(path), "<other from=\"file\"/>"));
        Xml xml;
        QVERIFY(xml.parse("<r v=\"x\"><d>&lt;c n=\"1\"/&gt;</d></r>"));
        xml.setArg("copy", xml.getArg("v"));
        xml.setArg("v", xml.getArgValue(1));
        xml.setName(xml.getName());
        QCOMPARE(QByteArray(xml.toString().get()),
                 QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<r v=\"x\" copy=\"x\">\n"
                            "\t<d>&lt;c n=\"1\"/&gt;</d>\n</r>\n"));
        Xml *d = xml.findChild("d");
        QVERIFY(d->parse(d->getData()));
        QCOMPARE(QByteArray(d->getName()), QByteArray("c"));
        QCOMPARE(d->getIntArg("n"), 1);
        xml.setArg("path", path.constData());
        QVERIFY(xml.load(xml.getArg("path")));
        QCOMPARE(QByteArray(xml.getArg("from")), QByteArray("file"));
    }

    void files_that_cannot_be_read_or_written_fail()
    {
        QTemporaryDir dir;
        Xml xml;
        QVERIFY(!xml.load(dir.filePath("missing.xml").toUtf8().constData()));
        QVERIFY(!xml.load(dir.path().toUtf8().constData()));
        const QByteArray fifo = dir.filePath("pipe.xml").toUtf8();
        QVERIFY(test::makeFifo(dir.filePath("pipe.xml")));
        QVERIFY(!xml.load(fifo.constData())); // refused at once, never waits for a writer
        const QByteArray zero = dir.filePath("zero.xml").toUtf8();
        QVERIFY(test::linkToDevice(dir.filePath("zero.xml")));
        QVERIFY(!xml.load(zero.constData())); // a device is never read
        xml.setName("r");
        QVERIFY(!xml.save(dir.filePath("no/such/folder/r.xml").toUtf8().constData()));
    }

    void a_folder_scope_opens_the_file_each_path_names_and_keeps_no_descriptor()
    {
        QTemporaryDir dir;
        // Folders whose names share a beginning, one inside another, and
        // the same file name in each.
        const QStringList folders{"a", "ab", "b", "a/b", "a/b/c"};
        for (const QString &folder : folders) {
            QVERIFY(QDir(dir.path()).mkpath(folder));
            QVERIFY(writeFile(dir.filePath(folder + "/f.xml"), "<r>" + folder.toUtf8() + "</r>"));
        }
        QVERIFY(writeFile(dir.filePath("top.xml"), "<r>top</r>"));
        const auto descriptors = [] {
            return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
        };
        const int before = descriptors();
        {
            Xml::FolderScope scope;
            const QStringList order{"a", "ab", "a", "a/b", "a/b/c", "a/b", "b", "b", "a"};
            for (const QString &folder : order) {
                Xml xml;
                QVERIFY2(xml.load(dir.filePath(folder + "/f.xml").toUtf8().constData()), qPrintable(folder));
                QCOMPARE(QString(xml.getData()), folder);
            }
            Xml xml;
            QVERIFY(!xml.load(dir.filePath("missing/f.xml").toUtf8().constData()));
            QVERIFY(!xml.load(dir.filePath("a/missing.xml").toUtf8().constData()));
            QVERIFY(!xml.load(dir.filePath("a/").toUtf8().constData()));
            QVERIFY(xml.load(dir.filePath("top.xml").toUtf8().constData()));
            QCOMPARE(QByteArray(xml.getData()), QByteArray("top"));
            QVERIFY(xml.load(dir.filePath("a/b/../f.xml").toUtf8().constData()));
            QCOMPARE(QByteArray(xml.getData()), QByteArray("a"));
        }
        QCOMPARE(descriptors(), before);
    }

    void files_larger_than_64_mib_are_refused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("large.xml");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<r>");
        QVERIFY(file.resize(Xml::MAX_FILE_SIZE + 1)); // sparse: costs no disk
        file.close();
        Xml xml;
        QVERIFY(!xml.load(path.toUtf8().constData()));
    }
};

QTEST_GUILESS_MAIN(TestXml)
#include "tst_xml.moc"
