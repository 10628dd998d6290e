#include "editor/interdependence/parser/material_xml_parser.h"

#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/lookup_cache.h"
#include "editor/interdependence/parser/utils.h"

#include <editor_core/base/Assert.h>
#include <editor_core/mat/Manager.h>

#include <velmora/Material.h>
#include <velmora/Xml.h>

#include <cstring>
#include <string>
#include <string_view>

namespace inas {
namespace parser {

namespace {

// Whether a text can be taken for a GUID text at all (and so may leave a
// developer line in the log): 40 characters, after an optional scheme.
bool mayBeGuidText(std::string_view text)
{
    static constexpr std::string_view SCHEME = "guid://";
    if (text.substr(0, SCHEME.size()) == SCHEME)
        text.remove_prefix(SCHEME.size());
    return text.size() == size_t(utils::UGUID_LENGTH);
}

Velmora::UGUID lookUpMaterialGuid(const mat::Manager *materials, const char *text)
{
    const Velmora::UGUID guid = utils::tryConvertToGuid(text);
    const Velmora::Ptr<Velmora::Material> material = guid.isValid() ? materials->find(guid) : materials->find(text);
    return material ? material->getGUID() : Velmora::UGUID();
}

} // namespace

Velmora::UGUID findMaterialGuid(const mat::Manager *materials, const char *text)
{
    if (!text || !*text)
        return Velmora::UGUID();
    const std::string_view key(text);
    // A name is looked up once per run (under the registry's lock), by the
    // first thread to meet it; GUID texts are asked every time, as they may
    // log.
    LookupCache *cache = mayBeGuidText(key) ? nullptr : LookupCache::current();
    if (!cache)
        return lookUpMaterialGuid(materials, text);
    if (const LookupCache::Answer *known = cache->find(materials, key))
        return known->guid;
    // The other reading threads of the run meet the same names.
    LookupCache::Answer answer;
    if (!LookupCache::findShared(materials, key, answer)) {
        const Velmora::UGUID guid = lookUpMaterialGuid(materials, text);
        answer = {guid.isValid() ? LookupCache::Kind::FOUND : LookupCache::Kind::NONE, guid};
        LookupCache::insertShared(materials, key, answer);
    }
    cache->insert(materials, key, answer);
    return answer.guid;
}

bool reportMaterialList(const mat::Manager *materials, const char *text, const FoundCallback &found)
{
    if (!text || !*text)
        return false;
    // Every piece between commas, empty ones included, in order.
    std::string name;
    for (const char *piece = text;;) {
        const char *comma = std::strchr(piece, ',');
        name.assign(piece, comma ? size_t(comma - piece) : std::strlen(piece));
        const Velmora::UGUID guid = findMaterialGuid(materials, name.c_str());
        if (guid.isValid())
            found(guid);
        if (!comma)
            break;
        piece = comma + 1;
    }
    return false;
}

Velmora::UGUID readMaterialParent(const mat::Manager *materials, const Velmora::Xml &root)
{
    for (const char *name : {"parent", "parent_name", "base_material"}) {
        if (root.findArg(name) != -1)
            return findMaterialGuid(materials, root.getArg(name));
    }
    return Velmora::UGUID();
}

MaterialXmlParser::MaterialXmlParser(const mat::Manager *materials, const GuidProcessorBase *guid_processor, Item *item)
    : GuidParser(guid_processor, item)
    , materials_(materials)
{
    EC_ASSERT(materials_);
}

void MaterialXmlParser::parse(const Velmora::Xml &root)
{
    if (auto *hierarchy = dynamic_cast<items::Hierarchy *>(item_)) {
        const Velmora::UGUID parent = readMaterialParent(materials_, root);
        if (parent.isValid())
            hierarchy->setParentId(parent);
    }
    for (int i = 0; i < root.getNumChildren(); ++i)
        visitElement(*root.getChild(i));
}

bool MaterialXmlParser::visitData(const Velmora::Xml &element)
{
    if (XmlParser::visitData(element))
        return true;
    const char *data = element.getData();
    if (*data && std::strcmp(element.getName(), "texture") == 0)
        return matchSuffix(data);
    return false;
}

bool MaterialXmlParser::visitArg(const Velmora::Xml &element, int index)
{
    if (XmlParser::visitArg(element, index))
        return true;
    if (!std::strstr(element.getArgName(index), "material"))
        return false;
    bool reported = false;
    reportMaterialList(materials_, element.getArgValue(index), [this, &reported](const Velmora::UGUID &guid) {
        if (isSelfOrParent(guid))
            return;
        found_(guid);
        reported = true;
    });
    return reported;
}

bool MaterialXmlParser::onValue(const char *text)
{
    return processValue(text);
}

bool MaterialXmlParser::isSelfOrParent(const Velmora::UGUID &guid) const
{
    if (guid == item_->getId())
        return true;
    if (const auto *hierarchy = dynamic_cast<const items::Hierarchy *>(item_)) {
        if (guid == hierarchy->getParentId())
            return true;
    }
    // Names resolve to material GUIDs while a material asset's item carries
    // the GUID of its file: a material defined by this very file is itself.
    const Velmora::Ptr<Velmora::Material> material = materials_->find(guid);
    return material && material->getFileGUID() == item_->getId();
}

} // namespace parser
} // namespace inas
