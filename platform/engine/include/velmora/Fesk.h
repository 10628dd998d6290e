#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"

#include <memory>
#include <string>
#include <vector>

namespace Velmora {

// Reader of FESK, the engine's structured text format (used by materials):
//
//   document := { node } EOF        top-level nodes are children of a typeless root
//   node     := TYPE [ "(" [ arg { "," arg } ] ")" ] [ "=" value ] [ "?" STRING ] ( block | ";" )
//   block    := "{" { node } "}"
//   arg      := NAME "=" value
//   value    := scalar | "[" [ scalar { "," scalar } ] "]"
//   scalar   := STRING | WORD
//   TYPE, NAME := [A-Za-z_][A-Za-z0-9_.]*
//   STRING   := '"' { char except '"' and '\' | '\' ( '"' | '\' | 'n' | 't' ) } '"'
//   WORD     := 1*( char except white space and " ( ) [ ] { } , ; = ? # )
//   comment  := "#" up to the end of the line, outside strings
//
// UTF-8 with an optional BOM, free white space.

// A value: a single string, or an array of strings.
class FeskValue
{
public:
    FeskValue()
        : items_(1)
    {}

    bool isArray() const { return array_; }
    // 1 for a single string; the element count for an array.
    int size() const { return int(items_.size()); }
    // "" for an invalid index.
    const char *get(int index) const;
    // A single string as is; an array's elements joined with ",".
    const char *getString() const { return joined_.c_str(); }

    void setString(const char *text);
    void setArray(const std::vector<std::string> &items);

private:
    std::vector<std::string> items_;
    std::string joined_;
    bool array_ = false;
};

class FeskArg
{
public:
    FeskArg() = default;
    FeskArg(std::string name, FeskValue value)
        : name_(std::move(name))
        , value_(std::move(value))
    {}

    const char *getName() const { return name_.c_str(); }
    const FeskValue &getValue() const { return value_; }

private:
    std::string name_;
    FeskValue value_;
};

// One node; the object returned by create() is the typeless root whose
// children are the document's top-level nodes. Children are owned by their
// parent. load() and parse() return false, log one line and leave the root
// empty on: an empty document (no node), any syntax error, nesting deeper
// than 256, a file over 64 MiB, or a first non-blank character '<' (so XML
// files fall through to the XML reader).
class FeskNode
{
public:
    static constexpr int MAX_DEPTH = 256;
    static constexpr long long MAX_FILE_SIZE = 64ll * 1024 * 1024;

    static Ptr<FeskNode> create();

    FeskNode() = default;
    ~FeskNode();
    FeskNode(const FeskNode &) = delete;
    FeskNode &operator=(const FeskNode &) = delete;

    bool load(const char *path);
    bool parse(const char *text, int size = -1);
    void clear();
    // The text of the last refusal ("" after a successful load).
    const char *getError() const { return error_.c_str(); }

    FeskNode *getParent() const { return parent_; }
    const char *getType() const { return type_.c_str(); }
    // A node without "=" has the empty single string.
    const FeskValue &getValue() const { return value_; }
    // The text after "?", "" when none.
    const char *getCondition() const { return condition_.c_str(); }

    int getNumArgs() const { return int(args_.size()); }
    // Asserts on an invalid index.
    const FeskArg &getArg(int index) const;
    int findArg(const char *name) const;
    // The argument's value as text (getString), "" when absent.
    const char *getArgValue(const char *name) const;
    // "1"/"true" in any case -> true, "0"/"false" -> false, else def.
    bool getArgBool(const char *name, bool def) const;

    int getNumChildren() const { return int(children_.size()); }
    // Null for an invalid index.
    FeskNode *getChild(int index) const;
    // First child of that type, null when none.
    FeskNode *findChild(const char *type) const;

private:
    friend class FeskParser;

    std::string type_;
    FeskValue value_;
    std::string condition_;
    std::vector<FeskArg> args_;
    std::vector<std::unique_ptr<FeskNode>> children_;
    FeskNode *parent_ = nullptr;
    std::string error_;
};

} // namespace Velmora
