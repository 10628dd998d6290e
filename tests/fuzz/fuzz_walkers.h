#pragma once

// What the harnesses run on a document that loaded: the dependency
// analysis's walkers, with a resolver that needs no engine (GUID text only).

#include <editor/interdependence/parser/fesk_parser.h>
#include <editor/interdependence/parser/guid_parser.h>
#include <editor/interdependence/parser/guid_processor_base.h>
#include <editor/interdependence/parser/utils.h>
#include <editor/interdependence/parser/xml_generic_parser.h>

#include <cstring>

namespace fuzz {

class GuidTextResolver : public inas::parser::GuidProcessorBase
{
public:
    bool process(const char *text, const inas::parser::FoundCallback &found,
                 const inas::parser::MissingCallback &missing) const override
    {
        const Velmora::UGUID guid = inas::parser::utils::tryConvertToGuid(text);
        if (!guid.isValid())
            return false;
        // Split by the last digit, so that both callbacks are exercised.
        if (guid.getWord(4) & 1) {
            found(guid);
            return true;
        }
        missing(guid, 0);
        return false;
    }
    bool matchSuffix(const char *text, const inas::parser::FoundCallback &) const override
    {
        return text && std::strlen(text) > 3;
    }
    bool matchContained(const char *text, const inas::parser::FoundCallback &) const override
    {
        return text && std::strchr(text, '/');
    }
};

class FeskWalker : public inas::parser::FeskParser, public inas::parser::GuidParser
{
public:
    FeskWalker(const inas::parser::GuidProcessorBase *resolver, inas::parser::Item *item)
        : GuidParser(resolver, item)
    {}

protected:
    bool onValue(const char *text) override { return processValue(text); }
};

} // namespace fuzz
