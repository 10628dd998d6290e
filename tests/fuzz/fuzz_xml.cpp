// libFuzzer harness of the engine XML reader and the analysis's XML walk.
// A document that loads must also survive a save and a reload.

#include "fuzz_walkers.h"

#include <editor/interdependence/parser/parser_item.h>

#include <velmora/Xml.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    Velmora::Xml xml;
    if (!xml.parse(reinterpret_cast<const char *>(data), int(size)))
        return 0;
    static const fuzz::GuidTextResolver resolver;
    inas::parser::Item item(Velmora::UGUID("aaaaa00000000000000000000000000000000001"));
    inas::parser::XmlGenericParser parser(&resolver, &item);
    parser.parse(xml);

    const Velmora::String saved = xml.toString();
    Velmora::Xml again;
    if (!again.parse(saved.get(), saved.size()))
        std::abort(); // a loaded document must reload after a save
    return 0;
}
