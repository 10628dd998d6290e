#include "velmora/String.h"

#include <QTest>

using Velmora::String;

namespace {
QStringList toList(const Velmora::Vector<String> &v)
{
    QStringList result;
    for (const String &s : v)
        result << QString::fromUtf8(s.get(), s.size());
    return result;
}
} // namespace

class TestString : public QObject
{
    Q_OBJECT

private slots:
    void split_keeps_empty_and_untrimmed_pieces_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("delimiters");
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("simple") << QByteArray("a,b,c") << QByteArray(",") << QStringList{"a", "b", "c"};
        QTest::newRow("empty pieces") << QByteArray(",a,,b,") << QByteArray(",") << QStringList{"", "a", "", "b", ""};
        QTest::newRow("untrimmed") << QByteArray(" a , b") << QByteArray(",") << QStringList{" a ", " b"};
        QTest::newRow("several delimiters") << QByteArray("a;b,c") << QByteArray(",;") << QStringList{"a", "b", "c"};
        QTest::newRow("no delimiter") << QByteArray("abc") << QByteArray(",") << QStringList{"abc"};
        QTest::newRow("empty text") << QByteArray("") << QByteArray(",") << QStringList{""};
    }
    void split_keeps_empty_and_untrimmed_pieces()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, delimiters);
        QFETCH(QStringList, pieces);
        QCOMPARE(toList(String(text.constData()).split(delimiters.constData())), pieces);
    }

    void path_parts_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("basename");
        QTest::addColumn<QByteArray>("extension");
        QTest::addColumn<QByteArray>("without_extension");
        QTest::addColumn<QByteArray>("pathname");
        QTest::newRow("file in folders") << QByteArray("a/b/c.png") << QByteArray("c.png") << QByteArray("png")
                                         << QByteArray("a/b/c") << QByteArray("a/b/");
        QTest::newRow("two dots") << QByteArray("x/m.tar.gz") << QByteArray("m.tar.gz") << QByteArray("gz")
                                  << QByteArray("x/m.tar") << QByteArray("x/");
        QTest::newRow("no extension") << QByteArray("a.b/file") << QByteArray("file") << QByteArray("")
                                      << QByteArray("a.b/file") << QByteArray("a.b/");
        QTest::newRow("hidden file") << QByteArray("data/.cleanerignore") << QByteArray(".cleanerignore")
                                     << QByteArray("") << QByteArray("data/.cleanerignore") << QByteArray("data/");
        QTest::newRow("no folder") << QByteArray("level.world") << QByteArray("level.world") << QByteArray("world")
                                   << QByteArray("level") << QByteArray("");
        QTest::newRow("trailing slash") << QByteArray("bin/") << QByteArray("") << QByteArray("") << QByteArray("bin/")
                                        << QByteArray("bin/");
    }
    void path_parts()
    {
        QFETCH(QByteArray, path);
        const String s(path.constData());
        QTEST(QByteArray(s.basename().get()), "basename");
        QTEST(QByteArray(s.extension().get()), "extension");
        QTEST(QByteArray(s.removeExtension().get()), "without_extension");
        QTEST(QByteArray(s.pathname().get()), "pathname");
    }

    void embedded_nul_bytes_are_kept()
    {
        const String s("a\0b", 3);
        QCOMPARE(s.size(), 3);
        QCOMPARE(s[2], 'b');
        QVERIFY(s != String("a"));
        QVERIFY(s.hash() != String("a").hash());
    }

    void comparison_and_search()
    {
        const String s("Textures/Rock.PNG");
        QCOMPARE(s.compare(String("textures/rock.png"), true), 0);
        QVERIFY(s.compare(String("textures/rock.png")) < 0);
        QVERIFY(String("b").compare(String("abc"), true) > 0);
        QVERIFY(String("ab").compare(String("abc")) < 0);
        QVERIFY(s.startsWith("textures/", true));
        QVERIFY(!s.startsWith("textures/"));
        QVERIFY(s.endsWith(".png", true));
        QCOMPARE(s.find("Rock"), 9);
        QCOMPARE(s.find("Rock", 10), -1);
        QCOMPARE(s.find('/'), 8);
        QCOMPARE(s.rfind('.'), 13);
        QCOMPARE(s.find("x", 100), -1);
        QCOMPARE(QByteArray(s.lower().get()), QByteArray("textures/rock.png"));
        QCOMPARE(QByteArray(s.substr(9, 4).get()), QByteArray("Rock"));
        QCOMPARE(QByteArray(s.substr(50).get()), QByteArray(""));
        QCOMPARE(QByteArray(String(" \t x y \n").trim().get()), QByteArray("x y"));
    }

    void format_handles_long_texts()
    {
        const QByteArray long_text(2000, 'z');
        const String s = String::format("%s-%d", long_text.constData(), 42);
        QCOMPARE(s.size(), 2003);
        QVERIFY(QByteArray(s.get()).endsWith("z-42"));
    }

    void memory_is_human_readable_data()
    {
        QTest::addColumn<qulonglong>("bytes");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("bytes") << qulonglong(512) << QByteArray("512 B");
        QTest::newRow("one KB") << qulonglong(1024) << QByteArray("1 KB");
        QTest::newRow("1.5 MB") << qulonglong(1536 * 1024) << QByteArray("1.5 MB");
        QTest::newRow("GB") << qulonglong(3) * 1024 * 1024 * 1024 << QByteArray("3 GB");
    }
    void memory_is_human_readable()
    {
        QFETCH(qulonglong, bytes);
        QTEST(QByteArray(String::memory(bytes).get()), "text");
    }
};

QTEST_GUILESS_MAIN(TestString)
#include "tst_string.moc"
