#include "analysis_fixture.h"

#include <editor/interdependence/custom_settings.h>
#include <editor/interdependence/parser/generic_item_builder.h>
#include <editor/interdependence/parser/items/hierarchy.h>
#include <editor/interdependence/parser/items/node.h>
#include <editor/interdependence/parser/parser_driver.h>
#include <editor/interdependence/parser/utils.h>

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/mat/Manager.h>
#include <editor_core/prop/Manager.h>

#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Engine.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

namespace inastest {

QString staticDataFolder()
{
    const QString root = qEnvironmentVariable("VELMORA_TEST_DATA");
    if (!root.isEmpty())
        return root + QStringLiteral("/interdependence/data");
    return QTest::qFindTestData(QStringLiteral("../../data/interdependence/data"), __FILE__, __LINE__);
}

AnalysisFixture::AnalysisFixture() = default;

AnalysisFixture::~AnalysisFixture()
{
    stop();
}

bool AnalysisFixture::startWithCopyOf(const QString &source_data_folder)
{
    if (!QFileInfo(source_data_folder).isDir())
        return false;
    const QString target = dir_.path() + QStringLiteral("/data");
    QDirIterator it(source_data_folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString copy = target + QLatin1Char('/') + QDir(source_data_folder).relativeFilePath(source);
        QDir().mkpath(QFileInfo(copy).absolutePath());
        if (!QFile::copy(source, copy))
            return false;
    }
    return start(target);
}

bool AnalysisFixture::start(const QString &data_folder)
{
    stop();
    data_path_ = QDir(data_folder).absolutePath() + QLatin1Char('/');
    QDir().mkpath(dir_.path() + QStringLiteral("/bin"));
    const QStringList args{QStringLiteral("analysis_test"),
                           QStringLiteral("-binaries_path"),
                           dir_.path() + QStringLiteral("/bin/"),
                           QStringLiteral("-data_path"),
                           data_path_,
                           QStringLiteral("-cache_path"),
                           dir_.path() + QStringLiteral("/cache/"),
                           QStringLiteral("-log_path"),
                           dir_.path() + QStringLiteral("/log.txt"),
                           QStringLiteral("-skip_guidsdb")};
    arguments_.clear();
    for (const QString &arg : args)
        arguments_.push_back(arg.toStdString());
    argv_.clear();
    for (std::string &arg : arguments_)
        argv_.push_back(&arg[0]);
    if (!Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(argv_.size()), argv_.data()))
        return false;

    assets_ = std::make_unique<Editor::AssetManagerPrivate>();
    depr::g.asset_manager = assets_.get();
    if (!rescan())
        return false;
    materials_ = std::make_unique<mat::Manager>(nullptr);
    properties_ = std::make_unique<prop::Manager>(nullptr);
    depr::g.mat_manager = materials_.get();
    depr::g.prop_manager = properties_.get();
    return true;
}

bool AnalysisFixture::rescan()
{
    QSignalSpy done(assets_.get(), &Editor::AssetManagerPrivate::pipeline_ended);
    if (assets_->isInitialized())
        assets_->rescan();
    else
        assets_->init();
    return done.wait(10000);
}

void AnalysisFixture::stop()
{
    depr::g.mat_manager = nullptr;
    depr::g.prop_manager = nullptr;
    depr::g.asset_manager = nullptr;
    properties_.reset();
    materials_.reset();
    if (assets_)
        assets_->shutdown();
    assets_.reset();
    if (Velmora::Engine::get())
        Velmora::Engine::shutdown();
}

std::unique_ptr<inas::parser::Output> AnalysisFixture::parseAll() const
{
    const Velmora::Vector<as::Asset> all = assets_->assets();
    const QVector<as::Asset> list(all.begin(), all.end());
    inas::parser::Driver driver;
    const inas::CustomSettings settings(assets_.get(), materials_.get(), properties_.get(), list);
    inas::parser::utils::setupParser(&settings, &driver);
    driver.setItemBuilder(std::make_unique<inas::parser::GenericItemBuilder>());
    driver.setAssetManager(assets_.get());
    driver.setAssets(list);
    return driver.parse([](int, int) { return true; });
}

inas::parser::ItemPtr AnalysisFixture::findItem(const inas::parser::Output &output, const Velmora::UGUID &guid)
{
    for (const inas::parser::ItemPtr &item : output.getItems()) {
        if (item->getId() == guid)
            return item;
    }
    return nullptr;
}

QString AnalysisFixture::describe(const Velmora::UGUID &g) const
{
    const as::Asset asset = assets_->assetByRuntimeGUID(g);
    if (!asset.isNull()) {
        if (asset.getGUID() == g)
            return asset.getRelativePath();
        static const char *const KINDS[] = {"primary", "mesh", "texture", "node", "material", "property"};
        const int kind = asset.findRuntime(g).getKind();
        const QString name = kind >= 0 && kind < 6 ? QLatin1String(KINDS[kind]) : QString::number(kind);
        return asset.getRelativePath() + QLatin1Char('#') + name;
    }
    static const QRegularExpression SHORTHAND(QStringLiteral("^([a-f])\\1{4}0{32}(\\d{3})$"));
    const QString text = QString::fromLatin1(g.getString().get());
    const QRegularExpressionMatch match = SHORTHAND.match(text);
    if (match.hasMatch())
        return QLatin1Char('{') + match.captured(1) + match.captured(2) + QLatin1Char('}');
    return text;
}

QString AnalysisFixture::describe(const std::vector<Velmora::UGUID> &guids) const
{
    QStringList names;
    for (const Velmora::UGUID &g : guids)
        names << describe(g);
    return names.join(QStringLiteral(", "));
}

QStringList AnalysisFixture::describeItem(const inas::parser::Item &item) const
{
    using namespace inas::parser;
    const auto *node = dynamic_cast<const items::Node *>(&item);
    const auto *hierarchy = dynamic_cast<const items::Hierarchy *>(&item);
    QString head = describe(item.getId()) + QStringLiteral(": ")
            + (node                ? QStringLiteral("node item")
                       : hierarchy ? QStringLiteral("hierarchy item")
                                   : QStringLiteral("item"));
    if (item.getOwnerId().isValid())
        head += QStringLiteral(" of ") + describe(item.getOwnerId());
    QStringList lines{head};

    QString file = QString::fromUtf8(item.getAbsolutePath().get());
    if (file.startsWith(data_path_))
        file = file.mid(data_path_.size());
    lines << QStringLiteral("  file: ") + file;
    if (!item.getDescendants().empty())
        lines << QStringLiteral("  descendants: ") + describe(item.getDescendants().values());
    if (hierarchy && hierarchy->getParentId().isValid())
        lines << QStringLiteral("  parent: ") + describe(hierarchy->getParentId());
    if (!item.getDependents().empty())
        lines << QStringLiteral("  dependents: ") + describe(item.getDependents().values());
    if (!item.getLost().empty())
        lines << QStringLiteral("  lost: ") + describe(item.getLost().values());
    if (!node)
        return lines;
    if (!node->getPaths().empty()) {
        QStringList paths;
        for (const Velmora::String &path : node->getPaths())
            paths << QString::fromUtf8(path.get());
        lines << QStringLiteral("  paths: ") + paths.join(QStringLiteral(", "));
    }
    if (!node->getRootDependents().empty())
        lines << QStringLiteral("  root dependents: ") + describe(node->getRootDependents().values());
    if (!node->getRootLost().empty())
        lines << QStringLiteral("  root lost: ") + describe(node->getRootLost().values());
    for (const NodeRecord &record : node->getNodeRecords()) {
        QString line = QStringLiteral("  record %1 %2: ").arg(QString::fromUtf8(record.name.get())).arg(record.id);
        line += describe(record.dependents.values());
        if (!record.dependents.empty() && !record.lost.empty())
            line += QStringLiteral("; ");
        if (!record.lost.empty())
            line += QStringLiteral("lost ") + describe(record.lost.values());
        lines << line;
    }
    return lines;
}

QStringList AnalysisFixture::describe(const inas::parser::Output &output) const
{
    QStringList lines;
    for (const inas::parser::ItemPtr &item : output.getItems())
        lines << describeItem(*item);
    return lines;
}

} // namespace inastest
