// libFuzzer harness of the engine FESK reader and the analysis's FESK walk.

#include "fuzz_walkers.h"

#include <editor/interdependence/parser/parser_item.h>

#include <velmora/Fesk.h>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    Velmora::FeskNode root;
    if (!root.parse(reinterpret_cast<const char *>(data), int(size)))
        return 0;
    static const fuzz::GuidTextResolver resolver;
    inas::parser::Item item(Velmora::UGUID("aaaaa00000000000000000000000000000000001"));
    fuzz::FeskWalker walker(&resolver, &item);
    walker.parse(root);
    return 0;
}
