#include "editor/interdependence/parser/modules/landscape_map_module.h"

#include "editor/interdependence/parser/parser_item.h"
#include "editor/interdependence/parser/xml_parser.h"

#include <editor_core/as/AssetTypes.h>
#include <editor_core/as/ImportParams.h>
#include <editor_core/as/LandscapeMapImportParams.h>
#include <editor_core/base/Assert.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/Xml.h>

#include <utility>

namespace inas {
namespace parser {

namespace {

// Walks a landscape map's meta file: every data text and attribute value
// goes to the resolver. Lost references go to the item's lost set; found
// ones to its dependents, except the asset's own GUID and runtimes, which
// the meta file names as a matter of course.
class LMapXmlParser : public XmlParser
{
public:
    LMapXmlParser(const GuidProcessorBase *guid_processor, Item &item, const as::Asset &asset)
        : guid_processor_(guid_processor)
        , found_([&item, &asset](const Velmora::UGUID &guid) {
            if (guid != item.getId() && asset.findRuntime(guid).isNull())
                item.getDependents().insert(guid);
        })
        , missing_([&item](const Velmora::UGUID &guid, int) { item.getLost().insert(guid); })
    {}

protected:
    bool onValue(const char *text) override { return guid_processor_->process(text, found_, missing_); }

private:
    const GuidProcessorBase *guid_processor_;
    FoundCallback found_;
    MissingCallback missing_;
};

} // namespace

LandscapeMapModule::LandscapeMapModule(Editor::AssetManagerPrivate *as_manager,
                                       std::shared_ptr<const GuidProcessorBase> guid_processor)
    : as_manager_(as_manager)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(as_manager_ && guid_processor_);
}

void LandscapeMapModule::process(const char *path, Item &item)
{
    if (!path || !*path) {
        Velmora::Log::warning("Dependency analysis: a landscape map without a file path is not parsed\n");
        return;
    }
    const as::Asset asset = as_manager_->asset(QString::fromUtf8(path));
    if (asset.isNull()) {
        Velmora::Log::warning("Dependency analysis: \"%s\" is not a known asset; its landscape map is not parsed\n",
                              path);
        return;
    }

    as::LandscapeMapImportParams params;
    params.fromParams(as::ImportParams::fromAsset(asset));
    for (const terrain::TilesetMapper &mapper : params.getMappers()) {
        for (const auto &file : mapper.getFileMap()) {
            if (file.second.isEmpty())
                continue;
            const QByteArray tile = file.second.toUtf8();
            const Velmora::UGUID guid = Velmora::FileSystem::getGUID(tile.constData());
            if (!guid.isValid()) {
                Velmora::Log::warning("Dependency analysis: the landscape map \"%s\" maps the tile \"%s\", which "
                                      "does not exist\n",
                                      path, tile.constData());
                continue;
            }
            if (!as_manager_->hasRuntime(guid)) {
                Velmora::Log::warning("Dependency analysis: the landscape map \"%s\" maps the tile \"%s\", which is "
                                      "not an asset; it is not counted as a use\n",
                                      path, tile.constData());
                continue;
            }
            item.getDependents().insert(guid);
        }
    }

    const QByteArray meta = QByteArray(path) + '.' + as::ASSET_EXTENSION;
    const Velmora::Ptr<Velmora::Xml> xml = Velmora::Xml::create();
    if (!xml->load(meta.constData()))
        return; // the reader has logged why
    LMapXmlParser parser(guid_processor_.get(), item, asset);
    parser.parse(*xml);
}

} // namespace parser
} // namespace inas
