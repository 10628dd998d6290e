#include "editor/cleaner/parser/file_guids_parser.h"

#include "editor/cleaner/cleaner_common.h"

#include <editor/interdependence/parser/guid_processor.h>

#include <editor_core/AssetType.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/FileSystem.h>
#include <velmora/Materials.h>
#include <velmora/Properties.h>
#include <velmora/Xml.h>

#include <cstring>
#include <string>
#include <string_view>

namespace cleaner {

namespace {

const char GUID_PREFIX[] = "guid://";
const size_t GUID_PREFIX_LENGTH = sizeof(GUID_PREFIX) - 1;

bool startsWith(const char *text, const char *prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool isNodeRules(int type)
{
    return type == AssetType::NODE || type == AssetType::WORLD;
}

// A path as a project from another system may write it: "\" separators,
// "./" in front, doubled "/". Empty when it is already clean.
std::string canonicalPath(const char *text)
{
    std::string path(text);
    bool changed = false;
    for (char &c : path) {
        if (c == '\\') {
            c = '/';
            changed = true;
        }
    }
    while (path.compare(0, 2, "./") == 0) {
        path.erase(0, 2);
        changed = true;
    }
    for (size_t at = path.find("//"); at != std::string::npos; at = path.find("//", at)) {
        path.erase(at, 1);
        changed = true;
    }
    return changed ? path : std::string();
}

} // namespace

bool FileGUIDsParser::parseValue(const Context &context, const char *value, const Result &result)
{
    if (!value || !*value)
        return false;
    std::set<Velmora::UGUID> &alive = *result.alive_guids;
    std::set<Velmora::UGUID> &lost = *result.lost_guids;

    Velmora::UGUID guid;
    const GuidTextCheck check = checkGuidText(value);
    if (doesLookLikeGuid(value)) {
        guid = Velmora::UGUID(value);
    } else {
        // A genuine GUID with very few letters or digits is still taken
        // when it names something alive; it is never made lost.
        if (check == GuidTextCheck::FewDigitsOrLetters) {
            const Velmora::UGUID rare(value);
            if (isAliveGuid(context.as_manager, rare)) {
                alive.insert(rare);
                return true;
            }
        }
        guid = Velmora::FileSystem::getGUID(value);
        if (guid.isEmpty()) {
            if (startsWith(value, GUID_PREFIX) && doesLookLikeGuid(value + GUID_PREFIX_LENGTH)) {
                const Velmora::UGUID named(value + GUID_PREFIX_LENGTH);
                // A runtime the engine's file system does not list is
                // still the asset manager's.
                if (isAliveGuid(context.as_manager, named))
                    alive.insert(named);
                else if (!alive.count(named))
                    lost.insert(named);
                return true;
            }
            guid.clear();
        }
    }

    if (!guid.isEmpty()) {
        if (alive.count(guid) || lost.count(guid))
            return true;
        if (isAliveGuid(context.as_manager, guid)) {
            alive.insert(guid);
            return true;
        }
        const bool engine_file = Velmora::FileSystem::isFileExist(guid)
                && startsWith(Velmora::FileSystem::getVirtualPath(guid).get(), "core/");
        if (!engine_file)
            lost.insert(guid);
    }

    // The name table: exact data-relative paths of assets.
    if (context.names) {
        const inas::parser::PathTable &table = context.names->getPaths();
        int position = table.find(std::string_view(value));
        if (position < 0) {
            const std::string canonical = canonicalPath(value);
            if (!canonical.empty())
                position = table.find(std::string_view(canonical));
        }
        if (position >= 0)
            alive.insert(table.guid(position));
    }
    return false;
}

void FileGUIDsParser::addMaterial(const Context &context, const char *name, const Result &result)
{
    const Velmora::Ptr<Velmora::Material> material = Velmora::Materials::findMaterial(name);
    if (material && context.as_manager->hasRuntime(material->getGUID()))
        result.alive_guids->insert(material->getGUID());
}

void FileGUIDsParser::addProperty(const Context &context, const char *name, const Result &result)
{
    const Velmora::Ptr<Velmora::Property> property = Velmora::Properties::findProperty(name);
    if (property && context.as_manager->hasRuntime(property->getGUID()))
        result.alive_guids->insert(property->getGUID());
}

void FileGUIDsParser::parseData(const Context &context, const Velmora::Xml &element, const Result &result)
{
    const char *data = element.getData();
    if (!*data)
        return;
    if (!parseValue(context, data, result))
        applyTextRules(context, element, result);
}

void FileGUIDsParser::applyTextRules(const Context &context, const Velmora::Xml &element, const Result &result)
{
    const char *name = element.getName();
    const char *data = element.getData();
    if (isNodeRules(context.type)) {
        if (std::strcmp(name, "path") == 0) {
            if (result.paths)
                result.paths->insert(Velmora::String(data));
            return;
        }
        if (std::strcmp(name, "expression") == 0) {
            if (context.names)
                context.names->matchContained(
                        data, [&result](const Velmora::UGUID &guid) { result.alive_guids->insert(guid); });
            return;
        }
    }
    if ((isNodeRules(context.type) || context.type == AssetType::RENDER_SETTINGS) && std::strstr(name, "material")) {
        for (const Velmora::String &piece : Velmora::String(data).split(","))
            addMaterial(context, piece.get(), result);
    }
}

void FileGUIDsParser::parseTrackParameter(const Context &context, const Velmora::Xml &element, const Result &result)
{
    if (std::strcmp(element.getName(), "parameter") != 0 || element.findArg("type") == -1)
        return;
    const char *type = element.getArg("type");
    const char *name = element.getArg("name");
    if (startsWith(type, "material.")) {
        addMaterial(context, name, result);
    } else if (startsWith(type, "property.")) {
        addProperty(context, name, result);
    } else if (std::strcmp(type, "node.object.material") == 0 || std::strcmp(type, "node.object.property") == 0) {
        const bool material = std::strcmp(type, "node.object.material") == 0;
        for (int i = 0; i < element.getNumChildren(); ++i) {
            const Velmora::Xml *key = element.getChild(i);
            if (std::strcmp(key->getName(), "key") != 0)
                continue;
            if (material)
                addMaterial(context, key->getData(), result);
            else
                addProperty(context, key->getData(), result);
        }
    }
}

void FileGUIDsParser::dropEmbeddedDefinition(const Context &context, const Velmora::Xml &element, const Result &result)
{
    if (!isNodeRules(context.type))
        return;
    const char *name = element.getName();
    if ((std::strcmp(name, "property") != 0 && std::strcmp(name, "material") != 0) || element.findArg("guid") == -1)
        return;
    const Velmora::UGUID guid(element.getArg("guid"));
    if (!guid.isEmpty())
        result.lost_guids->erase(guid);
}

void FileGUIDsParser::parse(const Context &context, const Velmora::Xml &element, const Result &result)
{
    NodeInfo node;
    Result in_force = result;
    const bool opens_node = result.nodes && isNodeRules(context.type) && std::strcmp(element.getName(), "node") == 0
            && element.findArg("name") != -1;
    if (opens_node) {
        node.name = Velmora::String(element.getArg("name"));
        // Read as the world reader reads it: a text that is no number is 0.
        node.id = element.findArg("id") != -1 ? element.getIntArg("id") : -1;
        in_force.lost_guids = &node.lost_ids_;
    }

    parseData(context, element, in_force);
    for (int i = 0; i < element.getNumArgs(); ++i)
        parseValue(context, element.getArgValue(i), in_force);
    if (context.type == AssetType::TRACK)
        parseTrackParameter(context, element, in_force);
    dropEmbeddedDefinition(context, element, in_force);
    for (int i = 0; i < element.getNumChildren(); ++i)
        parse(context, *element.getChild(i), in_force);

    if (opens_node && !node.lost_ids_.empty())
        result.nodes->push_back(std::move(node));
}

} // namespace cleaner
