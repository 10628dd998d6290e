#include "velmora/Fesk.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QByteArray>

#include <cstring>
#include <strings.h>
#include <utility>

namespace Velmora {

// ---- FeskValue ----

const char *FeskValue::get(int index) const
{
    return index >= 0 && index < size() ? items_[size_t(index)].c_str() : "";
}

void FeskValue::setString(const char *text)
{
    items_.assign(1, text ? text : "");
    joined_ = items_[0];
    array_ = false;
}

void FeskValue::setArray(const std::vector<std::string> &items)
{
    items_ = items;
    array_ = true;
    joined_.clear();
    for (size_t i = 0; i < items_.size(); i++) {
        if (i)
            joined_ += ',';
        joined_ += items_[i];
    }
}

// ---- Parser ----

class FeskParser
{
public:
    FeskParser(const char *data, size_t size)
        : p_(data)
        , end_(data + size)
        , begin_(data)
    {}

    // What FeskNode::load does with the bytes it has read from path.
    static bool parseFile(FeskNode &node, const QByteArray &bytes, const char *path)
    {
        node.clear();
        if (bytes.size() > FeskNode::MAX_FILE_SIZE) {
            node.error_ = "larger than 64 MiB";
            Log::error("FeskNode::load(): \"%s\" is larger than 64 MiB\n", path);
            return false;
        }
        FeskParser parser(bytes.constData(), size_t(bytes.size()));
        if (!parser.parseDocument(node)) {
            node.clear();
            node.error_ = parser.error();
            Log::error("FeskNode::load(): \"%s\": %s\n", path, node.error_.c_str());
            return false;
        }
        return true;
    }

    // Fills root; returns false with error() set.
    bool parseDocument(FeskNode &root)
    {
        if (end_ - p_ >= 3 && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0)
            p_ += 3;
        const char *first = p_;
        while (first < end_ && isBlank(*first))
            first++;
        if (first < end_ && *first == '<')
            return fail("an XML document, not FESK");
        skip();
        if (p_ >= end_)
            return fail("empty document");
        while (true) {
            skip();
            if (p_ >= end_)
                break;
            if (!parseNode(root, 1))
                return false;
        }
        return true;
    }

    const std::string &error() const { return error_; }

private:
    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
    static bool isIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
    static bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9') || c == '.'; }
    static bool isWordChar(char c)
    {
        switch (c) {
        case '"':
        case '(':
        case ')':
        case '[':
        case ']':
        case '{':
        case '}':
        case ',':
        case ';':
        case '=':
        case '?':
        case '#':
        case '\0':
            return false;
        default:
            return !isBlank(c);
        }
    }

    int line() const
    {
        int n = 1;
        for (const char *q = begin_; q < p_ && q < end_; ++q)
            if (*q == '\n')
                n++;
        return n;
    }

    bool fail(const std::string &message)
    {
        if (error_.empty())
            error_ = "line " + std::to_string(line()) + ": " + message;
        return false;
    }

    // White space and comments.
    void skip()
    {
        while (p_ < end_) {
            if (isBlank(*p_)) {
                p_++;
            } else if (*p_ == '#') {
                while (p_ < end_ && *p_ != '\n')
                    p_++;
            } else {
                break;
            }
        }
    }

    bool peek(char c)
    {
        skip();
        return p_ < end_ && *p_ == c;
    }

    bool expect(char c)
    {
        if (!peek(c))
            return fail(std::string("expected '") + c + "'" + (p_ < end_ ? "" : " before the end"));
        p_++;
        return true;
    }

    bool identifier(std::string &out, const char *what)
    {
        skip();
        if (p_ >= end_ || !isIdentStart(*p_))
            return fail(std::string("expected ") + what);
        const char *start = p_;
        while (p_ < end_ && isIdentChar(*p_))
            p_++;
        out.assign(start, size_t(p_ - start));
        return true;
    }

    bool string(std::string &out)
    {
        // at '"'
        p_++;
        out.clear();
        while (p_ < end_) {
            // The plain characters up to the next quote or backslash at once.
            const char *run = p_;
            while (p_ < end_ && *p_ != '"' && *p_ != '\\')
                p_++;
            out.append(run, size_t(p_ - run));
            if (p_ >= end_)
                break;
            if (*p_++ == '"')
                return true;
            // A backslash: the escaped character follows.
            if (p_ >= end_)
                break;
            const char e = *p_++;
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            default:
                return fail(std::string("unknown escape '\\") + e + "'");
            }
        }
        return fail("unterminated string");
    }

    bool scalar(std::string &out)
    {
        skip();
        if (p_ < end_ && *p_ == '"')
            return string(out);
        const char *start = p_;
        while (p_ < end_ && isWordChar(*p_))
            p_++;
        if (p_ == start)
            return fail("expected a value");
        out.assign(start, size_t(p_ - start));
        return true;
    }

    bool value(FeskValue &out)
    {
        if (peek('[')) {
            p_++;
            std::vector<std::string> items;
            if (peek(']')) {
                p_++;
                out.setArray(items);
                return true;
            }
            while (true) {
                std::string item;
                if (!scalar(item))
                    return false;
                items.push_back(std::move(item));
                if (peek(',')) {
                    p_++;
                    continue;
                }
                if (!expect(']'))
                    return false;
                break;
            }
            out.setArray(items);
            return true;
        }
        std::string text;
        if (!scalar(text))
            return false;
        out.setString(text.c_str());
        return true;
    }

    bool parseNode(FeskNode &parent, int depth)
    {
        if (depth > FeskNode::MAX_DEPTH)
            return fail("nesting deeper than " + std::to_string(FeskNode::MAX_DEPTH));
        auto node = std::make_unique<FeskNode>();
        node->parent_ = &parent;
        if (!identifier(node->type_, "a node type"))
            return false;
        if (peek('(')) {
            p_++;
            if (peek(')')) {
                p_++;
            } else {
                while (true) {
                    std::string name;
                    if (!identifier(name, "an argument name") || !expect('='))
                        return false;
                    FeskValue v;
                    if (!value(v))
                        return false;
                    node->args_.emplace_back(std::move(name), std::move(v));
                    if (peek(',')) {
                        p_++;
                        continue;
                    }
                    if (!expect(')'))
                        return false;
                    break;
                }
            }
        }
        if (peek('=')) {
            p_++;
            if (!value(node->value_))
                return false;
        }
        if (peek('?')) {
            p_++;
            skip();
            if (p_ >= end_ || *p_ != '"')
                return fail("expected a condition string after '?'");
            if (!string(node->condition_))
                return false;
        }
        if (peek('{')) {
            p_++;
            while (true) {
                if (peek('}')) {
                    p_++;
                    break;
                }
                if (p_ >= end_)
                    return fail("expected '}' before the end");
                if (!parseNode(*node, depth + 1))
                    return false;
            }
        } else if (!expect(';')) {
            return false;
        }
        parent.children_.push_back(std::move(node));
        return true;
    }

    const char *p_;
    const char *end_;
    const char *begin_;
    std::string error_;
};

// ---- FeskNode ----

Ptr<FeskNode> FeskNode::create()
{
    return Ptr<FeskNode>(new FeskNode);
}

FeskNode::~FeskNode() = default;

bool FeskNode::load(const char *path)
{
    clear();
    if (!path || !*path) {
        error_ = "empty path";
        Log::error("FeskNode::load(): empty path\n");
        return false;
    }
    QByteArray bytes;
    switch (engine_internal::readWholeFile(path, MAX_FILE_SIZE, bytes)) {
    case engine_internal::FileRead::OK:
        break;
    case engine_internal::FileRead::CANNOT_OPEN:
        error_ = "can't open the file";
        Log::error("FeskNode::load(): can't open \"%s\"\n", path);
        return false;
    case engine_internal::FileRead::TOO_LARGE:
        error_ = "larger than 64 MiB";
        Log::error("FeskNode::load(): \"%s\" is larger than 64 MiB\n", path);
        return false;
    case engine_internal::FileRead::CANNOT_READ:
        error_ = "can't read the file";
        Log::error("FeskNode::load(): can't read \"%s\"\n", path);
        return false;
    }
    return FeskParser::parseFile(*this, bytes, path);
}

bool engine_internal::parseFeskFile(FeskNode &node, const QByteArray &bytes, const char *path)
{
    return FeskParser::parseFile(node, bytes, path);
}

bool FeskNode::parse(const char *text, int size)
{
    clear();
    if (!text) {
        error_ = "null text";
        Log::error("FeskNode::parse(): null text\n");
        return false;
    }
    const size_t length = size < 0 ? std::strlen(text) : size_t(size);
    if (length > size_t(MAX_FILE_SIZE)) {
        error_ = "larger than 64 MiB";
        Log::error("FeskNode::parse(): the text is larger than 64 MiB\n");
        return false;
    }
    FeskParser parser(text, length);
    if (!parser.parseDocument(*this)) {
        clear();
        error_ = parser.error();
        Log::error("FeskNode::parse(): %s\n", error_.c_str());
        return false;
    }
    return true;
}

void FeskNode::clear()
{
    type_.clear();
    value_ = FeskValue();
    condition_.clear();
    args_.clear();
    children_.clear();
    error_.clear();
}

const FeskArg &FeskNode::getArg(int index) const
{
    VELMORA_ASSERT(index >= 0 && index < getNumArgs());
    return args_[size_t(index)];
}

int FeskNode::findArg(const char *name) const
{
    if (!name)
        return -1;
    for (size_t i = 0; i < args_.size(); i++)
        if (std::strcmp(args_[i].getName(), name) == 0)
            return int(i);
    return -1;
}

const char *FeskNode::getArgValue(const char *name) const
{
    const int index = findArg(name);
    return index == -1 ? "" : args_[size_t(index)].getValue().getString();
}

bool FeskNode::getArgBool(const char *name, bool def) const
{
    const int index = findArg(name);
    if (index == -1)
        return def;
    const char *text = args_[size_t(index)].getValue().getString();
    if (std::strcmp(text, "1") == 0 || strcasecmp(text, "true") == 0)
        return true;
    if (std::strcmp(text, "0") == 0 || strcasecmp(text, "false") == 0)
        return false;
    return def;
}

FeskNode *FeskNode::getChild(int index) const
{
    return index >= 0 && index < getNumChildren() ? children_[size_t(index)].get() : nullptr;
}

FeskNode *FeskNode::findChild(const char *type) const
{
    if (!type)
        return nullptr;
    for (const auto &child : children_)
        if (child->type_ == type)
            return child.get();
    return nullptr;
}

} // namespace Velmora
