#pragma once

#include "editor/cleaner/parser/node_info.h"

#include <velmora/String.h>
#include <velmora/UGUID.h>

#include <set>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}
namespace Velmora {
class Xml;
}
namespace inas {
namespace parser {
class GuidProcessor;
}
} // namespace inas

namespace cleaner {

// Walks the XML of one asset file and sorts every value it holds into
// references that resolve (to an asset or a runtime) and lost ones, with
// the rules of the asset type: node records, "path" and "expression" texts,
// material name lists, track parameters and embedded definitions.
//
// "Lost" here means the reference resolves to nothing alive: a GUID whose
// file still exists but that no asset or runtime carries is lost too,
// except the engine's own "core/" files, which are neither alive nor lost.
// The dependency analysis calls only vanished files lost; the two answer
// different questions on purpose.
class FileGUIDsParser
{
public:
    struct Context
    {
        const Editor::AssetManagerPrivate *as_manager = nullptr;
        int type = 0;
        // Its path table is the name table (data-relative path -> asset).
        const inas::parser::GuidProcessor *names = nullptr;
    };

    struct Result
    {
        std::set<Velmora::UGUID> *alive_guids = nullptr;
        std::set<Velmora::UGUID> *lost_guids = nullptr;
        std::vector<NodeInfo> *nodes = nullptr; // null: no node records
        std::set<Velmora::String> *paths = nullptr;
    };

    static void parse(const Context &context, const Velmora::Xml &element, const Result &result);

    // One value (attribute or element text); true when it was settled, that
    // is, resolved through a GUID (alive, or lost with a "guid://" text).
    static bool parseValue(const Context &context, const char *value, const Result &result);

private:
    static void parseData(const Context &context, const Velmora::Xml &element, const Result &result);
    static void applyTextRules(const Context &context, const Velmora::Xml &element, const Result &result);
    static void parseTrackParameter(const Context &context, const Velmora::Xml &element, const Result &result);
    static void dropEmbeddedDefinition(const Context &context, const Velmora::Xml &element, const Result &result);
    static void addMaterial(const Context &context, const char *name, const Result &result);
    static void addProperty(const Context &context, const char *name, const Result &result);
};

} // namespace cleaner
