#include "asset_files.h"
#include "project_builder.h"

#include "velmora/UGUID.h"

#include <QCryptographicHash>
#include <QObject>
#include <QTest>
#include <QThread>

#include <set>

using Velmora::UGUID;

namespace {

// Emits GUIDs from a worker thread to a receiver on the test thread.
class GuidSender : public QObject
{
    Q_OBJECT
signals:
    void guidSent(const Velmora::UGUID &guid);
    void guidsSent(const Velmora::Vector<Velmora::UGUID> &guids);
};

UGUID guidOfSha1(const QByteArray &text)
{
    return UGUID(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex().constData());
}

} // namespace

class TestGuid : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Velmora::registerGUIDMetaTypes(); }

    void text_form_is_forty_lower_case_digits_with_big_endian_words()
    {
        UGUID guid;
        guid.setWord(0, 0x01234567u);
        guid.setWord(1, 0x89abcdefu);
        guid.setWord(2, 0u);
        guid.setWord(3, 0xffffffffu);
        guid.setWord(4, 0x0000000au);
        QCOMPARE(QByteArray(guid.getString().get()), QByteArray("0123456789abcdef00000000ffffffff0000000a"));
        QCOMPARE(QByteArray(guid.getFileSystemString().get()),
                 QByteArray("guid://0123456789abcdef00000000ffffffff0000000a"));
        QCOMPARE(UGUID(guid.getString().get()), guid);
    }

    void parsing_accepts_one_case_only_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("lower") << QByteArray("aaaaa00000000000000000000000000000000101") << true;
        QTest::newRow("upper") << QByteArray("AAAAA00000000000000000000000000000000101") << true;
        QTest::newRow("behind guid://") << QByteArray("guid://aaaaa00000000000000000000000000000000101") << true;
        QTest::newRow("mixed case") << QByteArray("aAaaa00000000000000000000000000000000101") << false;
        QTest::newRow("39 digits") << QByteArray("aaaaa0000000000000000000000000000000010") << false;
        QTest::newRow("41 digits") << QByteArray("aaaaa000000000000000000000000000000001011") << false;
        QTest::newRow("non-hex digit") << QByteArray("gaaaa00000000000000000000000000000000101") << false;
        QTest::newRow("upper-case prefix") << QByteArray("GUID://aaaaa00000000000000000000000000000000101") << false;
        QTest::newRow("blank inside") << QByteArray("aaaaa0000000000000000 000000000000000101") << false;
        QTest::newRow("empty") << QByteArray("") << false;
    }
    void parsing_accepts_one_case_only()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        UGUID guid;
        guid.setWord(2, 7); // a failed parse must clear an old value
        QCOMPARE(guid.setString(text.constData()), valid);
        QCOMPARE(UGUID::isGUIDText(text.constData()), valid);
        QCOMPARE(guid.isEmpty(), !valid);
        if (valid)
            QCOMPARE(QByteArray(guid.getString().get()), text.right(40).toLower());
    }

    void null_text_parses_as_the_empty_guid()
    {
        UGUID guid(nullptr);
        QVERIFY(guid.isEmpty());
        QVERIFY(!guid.isValid());
        QCOMPARE(QByteArray(guid.getString().get()), QByteArray(40, '0'));
    }

    void hash_and_order_follow_the_words()
    {
        UGUID a("0000000100000002000000030000000400000005");
        QCOMPARE(a.hash(), ((1u ^ 2u) << 5) ^ 3u ^ 4u ^ 5u);
        UGUID b("0000000100000002000000030000000400000006");
        UGUID c("0000000200000000000000000000000000000000");
        QVERIFY(a < b);
        QVERIFY(b < c);
        QVERIFY(!(c < a));
        QVERIFY(!(a < a));
        QCOMPARE(qHash(a), a.hash());
    }

    void generated_guids_are_usable_and_distinct()
    {
        std::set<UGUID> seen;
        for (int i = 0; i < 200; i++) {
            const UGUID guid = UGUID::generate();
            QVERIFY(UGUID::isUsableText(guid.getString().get()));
            QVERIFY(seen.insert(guid).second);
        }
    }

    // The fixtures' shorthand {xNNN}, as the project builder and the file
    // helpers of the tests write it, gives usable GUIDs.
    void fixture_shorthand_expands_to_usable_guids()
    {
        const QString text
                = test::ProjectBuilder::expandGuids(QStringLiteral("<a guid=\"{a101}\" b=\"guid://{f250}\"/>"));
        QCOMPARE(text,
                 QStringLiteral("<a guid=\"aaaaa00000000000000000000000000000000101\" "
                                "b=\"guid://fffff00000000000000000000000000000000250\"/>"));
        QCOMPARE(test::guidText('a', 101), QByteArray("aaaaa00000000000000000000000000000000101"));
        QVERIFY(UGUID::isUsableText(test::guidText('a', 101).constData()));
        QCOMPARE(test::guid('f', 250), UGUID("fffff00000000000000000000000000000000250"));
    }

    void usable_text_needs_five_digits_and_five_letters_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("usable");
        QTest::newRow("fixture shorthand") << QByteArray("aaaaa00000000000000000000000000000000101") << true;
        QTest::newRow("four letters") << QByteArray("aaaa000000000000000000000000000000000101") << false;
        QTest::newRow("four digits") << QByteArray("abcdefabcdefabcdefabcdefabcdefabcdef0123") << false;
        QTest::newRow("five digits") << QByteArray("abcdefabcdefabcdefabcdefabcdefabcde01234") << true;
        QTest::newRow("all zero") << QByteArray(40, '0') << false;
        QTest::newRow("short") << QByteArray("aaaaa0000") << false;
    }
    void usable_text_needs_five_digits_and_five_letters()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, usable);
        QCOMPARE(UGUID::isUsableText(text.constData()), usable);
    }

    void path_guid_is_the_sha1_of_the_utf8_path()
    {
        const QByteArray path = QStringLiteral("textures/pierre_à_feu.png").toUtf8();
        const UGUID expected = guidOfSha1(path);
        QVERIFY(UGUID::isUsableText(expected.getString().get())); // no retry for this path
        QCOMPARE(UGUID::fromPath(path.constData()), expected);
        QVERIFY(UGUID::fromPath("textures/a.png") != UGUID::fromPath("textures/b.png"));
    }

    void derived_guid_hashes_the_guid_text_and_salt()
    {
        const UGUID asset("aaaaa00000000000000000000000000000000101");
        const UGUID material = UGUID::derive(asset, "material");
        QCOMPARE(material, guidOfSha1("aaaaa00000000000000000000000000000000101:material"));
        QVERIFY(material != UGUID::derive(asset, "property"));
        QCOMPARE(UGUID::derive(UGUID(), "builtin:mesh_base"), guidOfSha1(QByteArray(40, '0') + ":builtin:mesh_base"));
    }

    void hashes_match_sha1_across_block_boundaries_and_retries()
    {
        // The first usable SHA-1 of text, text + "\n1", text + "\n2", ...
        const auto expected = [](const QByteArray &text) {
            for (int attempt = 0;; attempt++) {
                const QByteArray input = attempt ? text + "\n" + QByteArray::number(attempt) : text;
                const UGUID guid = guidOfSha1(input);
                if (UGUID::isUsableText(guid.getString().get()))
                    return guid;
            }
        };
        // Every length across the padding edges of one, two and three
        // blocks, with bytes of every value but zero.
        for (int length = 0; length <= 200; length++) {
            QByteArray text;
            for (int i = 0; i < length; i++)
                text += char(1 + (i * 37 + length) % 255);
            QCOMPARE(UGUID::fromPath(text.constData()), expected(text));
            const UGUID base(expected(text));
            QCOMPARE(UGUID::derive(base, text.constData()), expected(QByteArray(base.getString().get()) + ":" + text));
        }
        // Paths whose first hash is not usable take the retries.
        int retried = 0;
        for (int i = 0; retried < 3 && i < 200000; i++) {
            const QByteArray path = "d_" + QByteArray::number(i) + "/file.png";
            if (UGUID::isUsableText(guidOfSha1(path).getString().get()))
                continue;
            retried++;
            QCOMPARE(UGUID::fromPath(path.constData()), expected(path));
        }
        QCOMPARE(retried, 3);
    }

    void meta_type_is_registered_under_its_engine_name()
    {
        const int id = QMetaType::type("Velmora::UGUID");
        QVERIFY(id != QMetaType::UnknownType);
        QCOMPARE(id, qMetaTypeId<UGUID>());
        QVERIFY(QMetaType::type("Velmora::Vector<Velmora::UGUID>") != QMetaType::UnknownType);
        const UGUID guid = UGUID::generate();
        QCOMPARE(QVariant::fromValue(guid).value<UGUID>(), guid);
    }

    void guids_arrive_through_queued_signals_between_threads()
    {
        GuidSender sender;
        QThread worker;
        sender.moveToThread(&worker);
        UGUID received;
        Velmora::Vector<UGUID> received_list;
        QObject receiver;
        connect(
                &sender, &GuidSender::guidSent, &receiver, [&](const UGUID &g) { received = g; }, Qt::QueuedConnection);
        connect(
                &sender, &GuidSender::guidsSent, &receiver, [&](const Velmora::Vector<UGUID> &g) { received_list = g; },
                Qt::QueuedConnection);
        worker.start();
        const UGUID guid("bbbbb00000000000000000000000000000000202");
        QMetaObject::invokeMethod(&sender, [&] {
            emit sender.guidSent(guid);
            emit sender.guidsSent({guid, UGUID()});
        });
        QTRY_COMPARE(received, guid);
        QTRY_COMPARE(received_list.size(), 2);
        QCOMPARE(received_list[0], guid);
        worker.quit();
        worker.wait();
    }
};

QTEST_GUILESS_MAIN(TestGuid)
#include "tst_guid.moc"
