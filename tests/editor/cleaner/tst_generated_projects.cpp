// The collector against the truth of generated projects: every kind of
// evidence, written by a seeded generator that records which assets are
// used. No asset the truth calls used may be reported unused, every truly
// unused candidate must be reported, and searching all names at once must
// give exactly what searching them one by one gives.

#include "cleaner_fixture.h"

#include <editor/cleaner/collector/collector.h>

#include <project_generator.h>

#include <QtTest>

using inastest::AnalysisFixture;

namespace {

QStringList guidTexts(const Velmora::Vector<Velmora::UGUID> &guids)
{
    QStringList texts;
    for (const Velmora::UGUID &guid : guids)
        texts << QString::fromLatin1(guid.getString().get());
    return texts;
}

QStringList describe(const cleaner::LostMap &lost)
{
    QStringList lines;
    for (auto it = lost.begin(); it != lost.end(); ++it) {
        QString line = QString::fromLatin1(it.key().getString().get()) + QLatin1Char(':');
        for (const Velmora::UGUID &guid : it.value().lost_ids)
            line += QLatin1Char(' ') + QString::fromLatin1(guid.getString().get());
        for (const cleaner::NodeInfo &node : it.value().nodes)
            line += QStringLiteral(" node %1/%2/%3")
                            .arg(QString::fromUtf8(node.name.get()))
                            .arg(node.id)
                            .arg(node.lost_ids_.size());
        lines << line;
    }
    lines.sort();
    return lines;
}

} // namespace

class GeneratedProjectsTest : public QObject
{
    Q_OBJECT

private slots:
    void the_unused_list_is_exactly_the_truth_data();
    void the_unused_list_is_exactly_the_truth();
};

void GeneratedProjectsTest::the_unused_list_is_exactly_the_truth_data()
{
    QTest::addColumn<int>("assets");
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<int>("sources");
    for (quint64 seed = 1; seed <= 10; ++seed)
        QTest::addRow("400 assets, seed %llu", seed) << 400 << seed << 20;
    QTest::newRow("3000 assets") << 3000 << quint64(77) << 60;
}

void GeneratedProjectsTest::the_unused_list_is_exactly_the_truth()
{
    QFETCH(int, assets);
    QFETCH(quint64, seed);
    QFETCH(int, sources);

    QTemporaryDir dir;
    depsbench::GeneratorOptions options;
    options.assets = assets;
    options.seed = seed;
    options.big_folder_files = assets / 10;
    options.files_per_folder = 40;
    options.cleaner_evidence = true;
    options.source_files = sources;
    depsbench::ProjectGenerator generator(options);
    QString error;
    QVERIFY2(generator.write(dir.path() + QStringLiteral("/data"), dir.path() + QStringLiteral("/truth.txt"), &error),
             qPrintable(error));
    QStringList truth;
    for (const QByteArray &guid : generator.unusedAssets())
        truth << QString::fromLatin1(guid);
    QVERIFY(truth.size() > 5);

    AnalysisFixture fixture;
    QVERIFY(fixture.start(dir.path() + QStringLiteral("/data")));
    cleaner::CollectorResult fast;
    QVERIFY(cleaner::Collector::collect(fast, fixture.assets(), fixture.materials(), [](int, int) { return true; }));
    QVERIFY(!fast.mayBeIncomplete());

    const QStringList found = guidTexts(fast.unused);
    QStringList used_but_listed;
    for (const QString &guid : found) {
        if (!truth.contains(guid))
            used_but_listed << fixture.describe(Velmora::UGUID(guid.toLatin1().constData()));
    }
    QStringList unused_but_missed;
    for (const QString &guid : truth) {
        if (!found.contains(guid))
            unused_but_missed << fixture.describe(Velmora::UGUID(guid.toLatin1().constData()));
    }
    QVERIFY2(used_but_listed.isEmpty(),
             qPrintable(QStringLiteral("used: ") + used_but_listed.join(QStringLiteral(", "))));
    QVERIFY2(unused_but_missed.isEmpty(),
             qPrintable(QStringLiteral("missed: ") + unused_but_missed.join(QStringLiteral(", "))));
    QCOMPARE(found, truth);

    cleaner::CollectorResult naive;
    cleaner::Collector::Options plain;
    plain.naive_search = true;
    QVERIFY(cleaner::Collector::collect(
            naive, fixture.assets(), fixture.materials(), [](int, int) { return true; }, plain));
    QCOMPARE(guidTexts(naive.unused), found);
    QCOMPARE(describe(naive.lost), describe(fast.lost));
    fixture.stop();
}

QTEST_GUILESS_MAIN(GeneratedProjectsTest)
#include "tst_generated_projects.moc"
