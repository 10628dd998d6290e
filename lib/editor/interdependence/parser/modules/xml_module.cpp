#include "editor/interdependence/parser/modules/xml_module.h"

#include <velmora/Log.h>
#include <velmora/Xml.h>

namespace inas {
namespace parser {

void XmlModule::process(const char *path, Item &item)
{
    if (!path || !*path) {
        Velmora::Log::warning("Dependency analysis: an asset without a file path is not parsed\n");
        return;
    }
    Velmora::Xml xml;
    if (!xml.load(path)) {
        Velmora::Log::warning("This XML file cannot be opened - (%s)\n", path);
        return;
    }
    parse(xml, item);
}

} // namespace parser
} // namespace inas
