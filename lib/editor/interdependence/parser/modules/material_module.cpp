#include "editor/interdependence/parser/modules/material_module.h"

#include "editor/interdependence/parser/material_fesk_parser.h"
#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Fesk.h>
#include <velmora/Log.h>
#include <velmora/Xml.h>

#include <QFile>

#include <utility>

namespace inas {
namespace parser {

namespace {

// Whether the file's first non-blank character (after an optional UTF-8 BOM)
// is '<'. The FESK reader refuses such a file anyway; asking first spares the
// log a refusal line for every XML material. Only the head of the file is
// read; a file with a longer blank head is left to the readers.
bool looksLikeXml(const char *path)
{
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4096);
    int i = head.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < head.size() && (head[i] == ' ' || head[i] == '\t' || head[i] == '\n' || head[i] == '\r'))
        ++i;
    return i < head.size() && head[i] == '<';
}

} // namespace

MaterialModule::MaterialModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor)
    : materials_(materials)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(materials_ && guid_processor_);
}

void MaterialModule::process(const char *path, Item &item)
{
    if (!path || !*path) {
        Velmora::Log::warning("Dependency analysis: a material without a file path is not parsed\n");
        return;
    }
    if (!looksLikeXml(path)) {
        const Velmora::Ptr<Velmora::FeskNode> fesk = Velmora::FeskNode::create();
        if (fesk->load(path)) {
            MaterialFeskParser parser(materials_, guid_processor_.get(), &item);
            parser.parse(*fesk);
            return;
        }
    }
    const Velmora::Ptr<Velmora::Xml> xml = Velmora::Xml::create();
    if (xml->load(path)) {
        MaterialXmlParser parser(materials_, guid_processor_.get(), &item);
        parser.parse(*xml);
        return;
    }
    Velmora::Log::warning("This Material file cannot be opened - (%s)\n", path);
}

} // namespace parser
} // namespace inas
