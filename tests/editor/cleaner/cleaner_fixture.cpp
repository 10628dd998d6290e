#include "cleaner_fixture.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <algorithm>

namespace cleanertest {

QString testDataPath(const QString &name)
{
    const QString root = qEnvironmentVariable("VELMORA_TEST_DATA");
    if (!root.isEmpty())
        return root + QStringLiteral("/cleaner/") + name;
    return QTest::qFindTestData(QStringLiteral("../../data/cleaner/") + name, __FILE__, __LINE__);
}

bool copyFolder(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString copy = to + QLatin1Char('/') + QDir(from).relativeFilePath(source);
        if (!QDir().mkpath(QFileInfo(copy).absolutePath()) || !QFile::copy(source, copy))
            return false;
    }
    return true;
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("(cannot read %1)").arg(path)};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (!line.trimmed().isEmpty() && !line.startsWith('#'))
            lines << QString::fromUtf8(line);
    }
    return lines;
}

QStringList describeUnused(const inastest::AnalysisFixture &fixture, const Velmora::Vector<Velmora::UGUID> &unused)
{
    QStringList paths;
    for (const Velmora::UGUID &guid : unused)
        paths << fixture.describe(guid);
    return paths;
}

QStringList describeLost(const inastest::AnalysisFixture &fixture, const cleaner::LostMap &lost)
{
    QVector<QPair<QString, Velmora::UGUID>> assets;
    for (auto it = lost.begin(); it != lost.end(); ++it)
        assets.append(qMakePair(fixture.describe(it.key()), it.key()));
    std::sort(assets.begin(), assets.end());
    QStringList lines;
    for (const auto &asset : assets) {
        const cleaner::LostEntry &entry = lost.value(asset.second);
        lines << asset.first;
        if (!entry.lost_ids.empty()) {
            std::vector<Velmora::UGUID> ids(entry.lost_ids.begin(), entry.lost_ids.end());
            lines << QStringLiteral("  lost: ") + fixture.describe(ids);
        }
        for (const cleaner::NodeInfo &node : entry.nodes) {
            const std::vector<Velmora::UGUID> ids(node.lost_ids_.begin(), node.lost_ids_.end());
            lines << QStringLiteral("  node %1 %2 %3: %4")
                             .arg(QString::fromUtf8(node.name.get()))
                             .arg(node.id)
                             .arg(node.guid.isEmpty() ? QStringLiteral("-") : fixture.describe(node.guid))
                             .arg(fixture.describe(ids));
        }
    }
    return lines;
}

} // namespace cleanertest
