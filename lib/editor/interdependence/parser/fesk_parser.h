#pragma once

namespace Velmora {
class FeskArg;
class FeskNode;
class FeskValue;
} // namespace Velmora

namespace inas {
namespace parser {

// Walker over an engine FESK tree. By default every text of the document is
// offered to onValue: for each node its value (an array element by
// element), its arguments' values in order, its condition, then its
// children.
class FeskParser
{
public:
    virtual ~FeskParser() = default;
    virtual void parse(const Velmora::FeskNode &root);

protected:
    virtual void visitNode(const Velmora::FeskNode &node);
    // A single value returns onValue of its text; an array offers each
    // element and returns false.
    virtual bool visitValue(const Velmora::FeskNode &node, const Velmora::FeskValue &value);
    virtual bool visitArg(const Velmora::FeskNode &node, const char *name, const Velmora::FeskValue &value);
    virtual bool onValue(const char *text) = 0;
};

} // namespace parser
} // namespace inas
