#include "velmora/Xml.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QByteArray>
#include <QSaveFile>

#include <pugixml.hpp>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace Velmora {

namespace {

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string trimmed(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isAsciiBlank(text[begin]))
        begin++;
    while (end > begin && isAsciiBlank(text[end - 1]))
        end--;
    return text.substr(begin, end - begin);
}

bool parseIntText(const char *text, int &out)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    while (end && isAsciiBlank(*end))
        end++;
    if (errno != 0 || end == text || (end && *end) || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = int(value);
    return true;
}

bool parseFloatText(const char *text, float &out)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    while (end && isAsciiBlank(*end))
        end++;
    if (errno != 0 || end == text || (end && *end))
        return false;
    out = float(value);
    return true;
}

bool parseBoolText(const char *text, bool def)
{
    if (!text)
        return def;
    if (std::strcmp(text, "1") == 0 || strcasecmp(text, "true") == 0)
        return true;
    if (std::strcmp(text, "0") == 0 || strcasecmp(text, "false") == 0)
        return false;
    return def;
}

std::string floatText(float value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%g", double(value));
    return buffer;
}

} // namespace

// Conversion between pugixml nodes and Xml elements.
struct XmlAccess
{
    // false when the tree is deeper than Xml::MAX_DEPTH (depth 1 = root).
    static bool depthOk(const pugi::xml_node &root)
    {
        // Iterative walk: a hostile document must not exhaust the stack.
        pugi::xml_node node = root;
        int depth = 1;
        while (node) {
            if (depth > Xml::MAX_DEPTH)
                return false;
            pugi::xml_node child = node.first_child();
            while (child && child.type() != pugi::node_element)
                child = child.next_sibling();
            if (child) {
                node = child;
                depth++;
                continue;
            }
            while (node && node != root) {
                pugi::xml_node next = node.next_sibling();
                while (next && next.type() != pugi::node_element)
                    next = next.next_sibling();
                if (next) {
                    node = next;
                    break;
                }
                node = node.parent();
                depth--;
            }
            if (node == root)
                break;
        }
        return true;
    }

    static void fromPugi(Xml &element, const pugi::xml_node &node)
    {
        element.name_ = node.name();
        std::string data;
        for (pugi::xml_attribute attribute : node.attributes())
            element.args_.emplace_back(attribute.name(), attribute.value());
        for (pugi::xml_node child : node.children()) {
            switch (child.type()) {
            case pugi::node_pcdata:
            case pugi::node_cdata:
                data += child.value();
                break;
            case pugi::node_element: {
                auto sub = std::make_unique<Xml>();
                sub->parent_ = &element;
                fromPugi(*sub, child);
                element.children_.push_back(std::move(sub));
                break;
            }
            default:
                break;
            }
        }
        element.data_ = trimmed(data);
    }

    static void toPugi(const Xml &element, pugi::xml_node node)
    {
        node.set_name(element.name_.c_str());
        for (const auto &arg : element.args_)
            node.append_attribute(arg.first.c_str()).set_value(arg.second.c_str());
        if (!element.data_.empty())
            node.append_child(pugi::node_pcdata).set_value(element.data_.c_str());
        for (const auto &child : element.children_)
            toPugi(*child, node.append_child(pugi::node_element));
    }

    // Parses into element; on failure logs "what: reason" and leaves it empty.
    static bool parse(Xml &element, const char *data, size_t size, const char *what)
    {
        element.clear();
        if (size > size_t(Xml::MAX_FILE_SIZE)) {
            Log::error("Xml: %s is larger than 64 MiB\n", what);
            return false;
        }
        size_t pos = 0;
        if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
            pos = 3;
        while (pos < size && isAsciiBlank(data[pos]))
            pos++;
        if (pos >= size) {
            Log::error("Xml: %s is empty\n", what);
            return false;
        }
        if (data[pos] != '<') {
            Log::error("Xml: %s is not an XML document\n", what);
            return false;
        }
        pugi::xml_document document;
        const pugi::xml_parse_result result
                = document.load_buffer(data, size, pugi::parse_default, pugi::encoding_utf8);
        if (!result) {
            Log::error("Xml: %s: %s at offset %lld\n", what, result.description(),
                       static_cast<long long>(result.offset));
            return false;
        }
        pugi::xml_node root = document.document_element();
        if (!root) {
            Log::error("Xml: %s has no root element\n", what);
            return false;
        }
        if (!depthOk(root)) {
            Log::error("Xml: %s is nested deeper than %d elements\n", what, Xml::MAX_DEPTH);
            return false;
        }
        fromPugi(element, root);
        return true;
    }
};

Ptr<Xml> Xml::create(const char *name)
{
    return Ptr<Xml>(new Xml(name));
}

Xml::Xml() = default;

Xml::Xml(const char *name)
    : name_(name ? name : "")
{}

Xml::~Xml() = default;

bool Xml::load(const char *path)
{
    clear();
    if (!path || !*path) {
        Log::error("Xml::load(): empty path\n");
        return false;
    }
    QByteArray bytes;
    switch (engine_internal::readWholeFile(path, MAX_FILE_SIZE, bytes)) {
    case engine_internal::FileRead::OK:
        break;
    case engine_internal::FileRead::CANNOT_OPEN:
        Log::error("Xml::load(): can't open \"%s\"\n", path);
        return false;
    case engine_internal::FileRead::TOO_LARGE:
        Log::error("Xml::load(): \"%s\" is larger than 64 MiB\n", path);
        return false;
    case engine_internal::FileRead::CANNOT_READ:
        Log::error("Xml::load(): can't read \"%s\"\n", path);
        return false;
    }
    return engine_internal::parseXmlFile(*this, bytes, path);
}

bool engine_internal::parseXmlFile(Xml &xml, const QByteArray &bytes, const char *path)
{
    if (bytes.size() > Xml::MAX_FILE_SIZE) {
        xml.clear();
        Log::error("Xml::load(): \"%s\" is larger than 64 MiB\n", path);
        return false;
    }
    const std::string what = std::string("\"") + path + "\"";
    return XmlAccess::parse(xml, bytes.constData(), size_t(bytes.size()), what.c_str());
}

bool Xml::parse(const char *text, int size)
{
    if (!text) {
        clear();
        Log::error("Xml::parse(): null text\n");
        return false;
    }
    const size_t length = size < 0 ? std::strlen(text) : size_t(size);
    return XmlAccess::parse(*this, text, length, "text");
}

String Xml::toString() const
{
    pugi::xml_document document;
    pugi::xml_node declaration = document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    XmlAccess::toPugi(*this, document.append_child(pugi::node_element));
    std::ostringstream stream;
    document.save(stream, "\t", pugi::format_default, pugi::encoding_utf8);
    return String(stream.str());
}

bool Xml::save(const char *path) const
{
    if (!path || !*path) {
        Log::error("Xml::save(): empty path\n");
        return false;
    }
    if (name_.empty()) {
        Log::error("Xml::save(): \"%s\": the root element has no name\n", path);
        return false;
    }
    const String text = toString();
    QSaveFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.get(), text.size()) != text.size() || !file.commit()) {
        Log::error("Xml::save(): can't write \"%s\"\n", path);
        return false;
    }
    return true;
}

void Xml::clear()
{
    name_.clear();
    data_.clear();
    args_.clear();
    children_.clear();
}

void Xml::setName(const char *name)
{
    name_ = name ? name : "";
}

void Xml::setData(const char *data)
{
    data_ = data ? data : "";
}

int Xml::getIntData(int def) const
{
    int value = def;
    return parseIntText(data_.c_str(), value) ? value : def;
}

float Xml::getFloatData(float def) const
{
    float value = def;
    return parseFloatText(data_.c_str(), value) ? value : def;
}

bool Xml::getBoolData(bool def) const
{
    return parseBoolText(data_.c_str(), def);
}

const char *Xml::getArgName(int index) const
{
    return index >= 0 && index < getNumArgs() ? args_[size_t(index)].first.c_str() : "";
}

const char *Xml::getArgValue(int index) const
{
    return index >= 0 && index < getNumArgs() ? args_[size_t(index)].second.c_str() : "";
}

int Xml::findArg(const char *name) const
{
    if (!name)
        return -1;
    for (size_t i = 0; i < args_.size(); i++)
        if (args_[i].first == name)
            return int(i);
    return -1;
}

const char *Xml::getArg(const char *name) const
{
    return getArgValue(findArg(name));
}

int Xml::getIntArg(const char *name, int def) const
{
    const int index = findArg(name);
    int value = def;
    return index != -1 && parseIntText(getArgValue(index), value) ? value : def;
}

float Xml::getFloatArg(const char *name, float def) const
{
    const int index = findArg(name);
    float value = def;
    return index != -1 && parseFloatText(getArgValue(index), value) ? value : def;
}

bool Xml::getBoolArg(const char *name, bool def) const
{
    const int index = findArg(name);
    return index == -1 ? def : parseBoolText(getArgValue(index), def);
}

void Xml::setArg(const char *name, const char *value)
{
    VELMORA_ASSERT(name && *name);
    const int index = findArg(name);
    if (index == -1)
        args_.emplace_back(name, value ? value : "");
    else
        args_[size_t(index)].second = value ? value : "";
}

void Xml::setIntArg(const char *name, int value)
{
    setArg(name, std::to_string(value).c_str());
}

void Xml::setFloatArg(const char *name, float value)
{
    setArg(name, floatText(value).c_str());
}

bool Xml::removeArg(const char *name)
{
    const int index = findArg(name);
    if (index == -1)
        return false;
    args_.erase(args_.begin() + index);
    return true;
}

Xml *Xml::getChild(int index) const
{
    return index >= 0 && index < getNumChildren() ? children_[size_t(index)].get() : nullptr;
}

Xml *Xml::findChild(const char *name) const
{
    return getChild(findChildIndex(name));
}

int Xml::findChildIndex(const char *name) const
{
    if (!name)
        return -1;
    for (size_t i = 0; i < children_.size(); i++)
        if (children_[i]->name_ == name)
            return int(i);
    return -1;
}

Xml *Xml::addChild(const char *name)
{
    VELMORA_ASSERT(name && *name);
    auto child = std::make_unique<Xml>(name);
    child->parent_ = this;
    children_.push_back(std::move(child));
    return children_.back().get();
}

bool Xml::removeChild(int index)
{
    if (index < 0 || index >= getNumChildren())
        return false;
    children_.erase(children_.begin() + index);
    return true;
}

bool Xml::removeChild(Xml *child)
{
    for (size_t i = 0; i < children_.size(); i++) {
        if (children_[i].get() == child) {
            children_.erase(children_.begin() + long(i));
            return true;
        }
    }
    return false;
}

} // namespace Velmora
