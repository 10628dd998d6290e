#pragma once

#include "editor/interdependence/parser/modules/module.h"

namespace Velmora {
class Xml;
}

namespace inas {
namespace parser {

// A module for XML files: loads the file and hands the document to parse().
// A file that does not load leaves the item as it was and one warning in the
// engine log; the analysis goes on.
class XmlModule : public virtual Module
{
public:
    void process(const char *path, Item &item) override;

protected:
    virtual void parse(const Velmora::Xml &root, Item &item) = 0;
};

} // namespace parser
} // namespace inas
