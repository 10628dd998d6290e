#include "velmora/Xml.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QByteArray>

#include <pugixml.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <sstream>

namespace Velmora {

namespace {

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
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

// The storage of a loaded tree: the document text, parsed in place (names,
// attribute values and single texts point into it), followed in memory by
// this header's text bytes; nodes holds the elements, argument and child
// arrays and joined texts, carved from one block.
struct XmlDocument
{
    void *nodes = nullptr;

    char *text() { return reinterpret_cast<char *>(this + 1); }

    static XmlDocument *allocate(size_t text_capacity)
    {
        void *memory = std::malloc(sizeof(XmlDocument) + text_capacity);
        if (!memory)
            throw std::bad_alloc();
        return new (memory) XmlDocument;
    }
    static XmlDocument *grow(XmlDocument *document, size_t text_capacity)
    {
        void *memory = std::realloc(document, sizeof(XmlDocument) + text_capacity);
        if (!memory) {
            release(document);
            throw std::bad_alloc();
        }
        return static_cast<XmlDocument *>(memory);
    }
    static void release(XmlDocument *document)
    {
        if (!document)
            return;
        ::operator delete(document->nodes);
        std::free(document);
    }
};

namespace {

// The folder handles of the scope living on this thread, if any.
thread_local Xml::FolderScope *t_folder_scope = nullptr;

int openFile(int folder, const char *path)
{
    int fd = -1;
    do {
        fd = ::openat(folder, path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

Xml::FolderScope::FolderScope()
{
    if (!t_folder_scope)
        t_folder_scope = this;
}

Xml::FolderScope::~FolderScope()
{
    if (t_folder_scope == this)
        t_folder_scope = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
}

int Xml::openForReading(const char *path)
{
    FolderScope *const scope = t_folder_scope;
    const char *const slash = scope && path[0] == '/' ? std::strrchr(path, '/') : nullptr;
    // Absolute paths with a file name only: anything else is opened as it is.
    if (!slash || slash == path || slash[1] == '\0')
        return openFile(AT_FDCWD, path);
    const size_t length = size_t(slash - path);
    if (scope->fd_ < 0 || scope->folder_.size() != length || std::memcmp(scope->folder_.data(), path, length) != 0) {
        if (scope->fd_ >= 0)
            ::close(scope->fd_);
        scope->folder_.assign(path, length);
        do {
            scope->fd_ = ::open(scope->folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        } while (scope->fd_ < 0 && errno == EINTR);
        if (scope->fd_ < 0) {
            scope->folder_.clear();
            return openFile(AT_FDCWD, path);
        }
    }
    return openFile(scope->fd_, slash + 1);
}

namespace {

enum class ReadResult { OK, CANNOT_OPEN, NOT_REGULAR, TOO_LARGE, CANNOT_READ };

// Reads a whole regular file into a new document with one open, fstat and
// (usually) one read: the read asks for one byte more than the file's size,
// so that a read ending at that size tells the file has ended. The open does
// not wait: a FIFO or device is refused by fstat instead of blocking.
ReadResult readDocument(const char *path, XmlDocument *&document, size_t &size)
{
    document = nullptr;
    size = 0;
    const int fd = Xml::openForReading(path);
    if (fd < 0)
        return ReadResult::CANNOT_OPEN;
    struct stat info;
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return stated && !S_ISDIR(info.st_mode) ? ReadResult::NOT_REGULAR : ReadResult::CANNOT_OPEN;
    }
    if (info.st_size > Xml::MAX_FILE_SIZE) {
        ::close(fd);
        return ReadResult::TOO_LARGE;
    }
    const size_t expected = size_t(info.st_size);
    const size_t limit = size_t(Xml::MAX_FILE_SIZE) + 1;
    size_t capacity = expected + 1;
    size_t done = 0;
    XmlDocument *buffer = XmlDocument::allocate(capacity + 1);
    for (;;) {
        if (done == capacity) {
            // The file has grown since fstat: read on until it ends.
            if (done >= limit) {
                ::close(fd);
                XmlDocument::release(buffer);
                return ReadResult::TOO_LARGE;
            }
            capacity = std::min(limit, capacity + 65536);
            buffer = XmlDocument::grow(buffer, capacity + 1);
        }
        const ssize_t n = ::read(fd, buffer->text() + done, capacity - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            XmlDocument::release(buffer);
            return ReadResult::CANNOT_READ;
        }
        if (n == 0)
            break;
        done += size_t(n);
        if (done == expected && done < capacity)
            break;
    }
    ::close(fd);
    if (done > size_t(Xml::MAX_FILE_SIZE)) {
        XmlDocument::release(buffer);
        return ReadResult::TOO_LARGE;
    }
    buffer->text()[done] = '\0';
    document = buffer;
    size = done;
    return ReadResult::OK;
}

// Error messages name a file in quotes, or "text" for parse().
std::string describe(const char *path)
{
    return path ? std::string("\"") + path + "\"" : std::string("text");
}

} // namespace

// Conversion between pugixml nodes and Xml elements, and the storage rules of
// the element tree.
struct XmlAccess
{
    using Arg = Xml::Arg;
    using Text = Xml::Text;

    struct Totals
    {
        size_t elements = 0;
        size_t args = 0;
        size_t joined_bytes = 0; // texts of elements with more than one text piece
    };

    // Counts what the tree needs; false when it is deeper than Xml::MAX_DEPTH
    // (depth 1 = root).
    static bool measure(const pugi::xml_node &root, Totals &totals)
    {
        // Iterative walk: a hostile document must not exhaust the stack.
        pugi::xml_node node = root;
        int depth = 1;
        for (;;) {
            if (depth > Xml::MAX_DEPTH)
                return false;
            totals.elements++;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                totals.args++;
            pugi::xml_node first_element;
            size_t pieces = 0;
            size_t bytes = 0;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                const pugi::xml_node_type type = child.type();
                if (type == pugi::node_element) {
                    if (!first_element)
                        first_element = child;
                } else if (type == pugi::node_pcdata || type == pugi::node_cdata) {
                    pieces++;
                    bytes += std::strlen(child.value());
                }
            }
            if (pieces > 1)
                totals.joined_bytes += bytes + 1;
            if (first_element) {
                node = first_element;
                depth++;
                continue;
            }
            for (;;) {
                if (node == root)
                    return true;
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
        }
    }

    // Carves elements and arrays from a document's nodes block, in the order
    // of the layout that measure() counted.
    struct Builder
    {
        Xml *elements;
        Arg *args;
        Xml **child_slots;
        char *joined;

        void fill(Xml &element, const pugi::xml_node &node)
        {
            element.name_.text = node.name();
            int num_args = 0;
            for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
                num_args++;
            if (num_args) {
                element.args_ = args;
                element.num_args_ = element.args_capacity_ = num_args;
                args += num_args;
                Arg *arg = element.args_;
                for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute(), arg++) {
                    new (arg) Arg;
                    arg->name.text = a.name();
                    arg->value.text = a.value();
                }
            }
            int num_children = 0;
            int pieces = 0;
            char *first_piece = nullptr;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                const pugi::xml_node_type type = child.type();
                if (type == pugi::node_element) {
                    num_children++;
                } else if (type == pugi::node_pcdata || type == pugi::node_cdata) {
                    // Parsed in place: the text lies in the document, writable.
                    if (!pieces++)
                        first_piece = const_cast<char *>(child.value());
                }
            }
            if (pieces == 1) {
                element.data_.text = trimInPlace(first_piece);
            } else if (pieces > 1) {
                char *start = joined;
                for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                    const pugi::xml_node_type type = child.type();
                    if (type == pugi::node_pcdata || type == pugi::node_cdata) {
                        const size_t length = std::strlen(child.value());
                        std::memcpy(joined, child.value(), length);
                        joined += length;
                    }
                }
                *joined++ = '\0';
                element.data_.text = trimInPlace(start);
            }
            if (!num_children)
                return;
            element.children_ = child_slots;
            element.num_children_ = element.children_capacity_ = num_children;
            child_slots += num_children;
            Xml **slot = element.children_;
            for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
                if (child.type() != pugi::node_element)
                    continue;
                Xml *sub = new (elements++) Xml;
                sub->in_document_ = true;
                sub->parent_ = &element;
                *slot++ = sub;
                fill(*sub, child);
            }
        }
    };

    // Trims ASCII white space: the start moves, the end gets a NUL.
    static const char *trimInPlace(char *text)
    {
        while (isAsciiBlank(*text))
            text++;
        char *end = text + std::strlen(text);
        while (end > text && isAsciiBlank(end[-1]))
            end--;
        if (*end)
            *end = '\0';
        return text;
    }

    // Checks what must hold before pugixml sees the text; logs and returns
    // false when the text is refused.
    static bool acceptable(const char *data, size_t size, const char *path)
    {
        if (size > size_t(Xml::MAX_FILE_SIZE)) {
            Log::error("Xml: %s is larger than 64 MiB\n", describe(path).c_str());
            return false;
        }
        size_t pos = 0;
        if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
            pos = 3;
        while (pos < size && isAsciiBlank(data[pos]))
            pos++;
        if (pos >= size) {
            Log::error("Xml: %s is empty\n", describe(path).c_str());
            return false;
        }
        if (data[pos] != '<') {
            Log::error("Xml: %s is not an XML document\n", describe(path).c_str());
            return false;
        }
        return true;
    }

    // Parses the document's text (size bytes) into element, which takes the
    // document; on failure logs, leaves the element empty and frees the
    // document. path names the file in messages (null for parse()); the
    // element is only cleared once path is no longer used.
    static bool build(Xml &element, XmlDocument *document, size_t size, const char *path)
    {
        pugi::xml_document parsed;
        const pugi::xml_parse_result result
                = parsed.load_buffer_inplace(document->text(), size, pugi::parse_default, pugi::encoding_utf8);
        pugi::xml_node root = parsed.document_element();
        Totals totals;
        bool ok = false;
        if (!result)
            Log::error("Xml: %s: %s at offset %lld\n", describe(path).c_str(), result.description(),
                       static_cast<long long>(result.offset));
        else if (!root)
            Log::error("Xml: %s has no root element\n", describe(path).c_str());
        else if (!measure(root, totals))
            Log::error("Xml: %s is nested deeper than %d elements\n", describe(path).c_str(), Xml::MAX_DEPTH);
        else
            ok = true;
        element.clear();
        if (!ok) {
            XmlDocument::release(document);
            return false;
        }
        const size_t below = totals.elements - 1;
        const size_t bytes
                = below * sizeof(Xml) + totals.args * sizeof(Arg) + below * sizeof(Xml *) + totals.joined_bytes;
        if (bytes) {
            try {
                document->nodes = ::operator new(bytes);
            } catch (...) {
                XmlDocument::release(document);
                throw;
            }
        }
        element.document_ = document;
        char *cursor = static_cast<char *>(document->nodes);
        Builder builder;
        builder.elements = reinterpret_cast<Xml *>(cursor);
        cursor += below * sizeof(Xml);
        builder.args = reinterpret_cast<Arg *>(cursor);
        cursor += totals.args * sizeof(Arg);
        builder.child_slots = reinterpret_cast<Xml **>(cursor);
        cursor += below * sizeof(Xml *);
        builder.joined = cursor;
        builder.fill(element, root);
        return true;
    }

    static void toPugi(const Xml &element, pugi::xml_node node)
    {
        node.set_name(element.name_.text);
        for (int i = 0; i < element.num_args_; i++)
            node.append_attribute(element.args_[i].name.text).set_value(element.args_[i].value.text);
        if (*element.data_.text)
            node.append_child(pugi::node_pcdata).set_value(element.data_.text);
        for (int i = 0; i < element.num_children_; i++)
            toPugi(*element.children_[i], node.append_child(pugi::node_element));
    }

    // Sets a text to a copy of value (the empty text needs no storage).
    static void assign(Text &text, const char *value)
    {
        char *copy = nullptr;
        if (value && *value) {
            const size_t size = std::strlen(value) + 1;
            copy = new char[size];
            std::memcpy(copy, value, size);
        }
        delete[] text.owned;
        text.owned = copy;
        text.text = copy ? copy : "";
    }

    static void reset(Text &text)
    {
        delete[] text.owned;
        text.owned = nullptr;
        text.text = "";
    }

    // Makes room for one more entry, moving a borrowed array to storage of
    // the element's own.
    template<typename T>
    static void reserveOne(T *&array, int count, int &capacity, bool &owned)
    {
        if (count < capacity)
            return;
        const int grown_capacity = capacity < 4 ? 4 : capacity * 2;
        T *grown = new T[size_t(grown_capacity)];
        std::copy(array, array + count, grown);
        if (owned)
            delete[] array;
        array = grown;
        capacity = grown_capacity;
        owned = true;
    }

    static void destroy(Xml *element)
    {
        if (element->in_document_)
            element->~Xml();
        else
            delete element;
    }
};

Ptr<Xml> Xml::create(const char *name)
{
    return Ptr<Xml>(new Xml(name));
}

Xml::Xml() = default;

Xml::Xml(const char *name)
{
    XmlAccess::assign(name_, name);
}

Xml::~Xml()
{
    clear();
}

bool Xml::load(const char *path)
{
    if (!path || !*path) {
        clear();
        Log::error("Xml::load(): empty path\n");
        return false;
    }
    XmlDocument *document = nullptr;
    size_t size = 0;
    const ReadResult read = readDocument(path, document, size);
    // path may be a text of this tree: it is used up before the tree goes.
    if (read == ReadResult::CANNOT_OPEN)
        Log::error("Xml::load(): can't open \"%s\"\n", path);
    else if (read == ReadResult::NOT_REGULAR)
        Log::error("Xml::load(): \"%s\" is not a regular file (a FIFO, a device or a socket); it is not read\n", path);
    else if (read == ReadResult::TOO_LARGE)
        Log::error("Xml::load(): \"%s\" is larger than 64 MiB\n", path);
    else if (read == ReadResult::CANNOT_READ)
        Log::error("Xml::load(): can't read \"%s\"\n", path);
    if (read != ReadResult::OK || !XmlAccess::acceptable(document->text(), size, path)) {
        XmlDocument::release(document);
        clear();
        return false;
    }
    return XmlAccess::build(*this, document, size, path);
}

bool engine_internal::parseXmlFile(Xml &xml, const QByteArray &bytes, const char *path)
{
    const size_t size = size_t(bytes.size());
    if (size > size_t(Xml::MAX_FILE_SIZE)) {
        xml.clear();
        Log::error("Xml::load(): \"%s\" is larger than 64 MiB\n", path);
        return false;
    }
    if (!XmlAccess::acceptable(bytes.constData(), size, path)) {
        xml.clear();
        return false;
    }
    // pugixml parses in place: a copy of the bytes becomes the document.
    XmlDocument *document = XmlDocument::allocate(size + 1);
    std::memcpy(document->text(), bytes.constData(), size);
    document->text()[size] = '\0';
    return XmlAccess::build(xml, document, size, path);
}

bool Xml::parse(const char *text, int size)
{
    if (!text) {
        clear();
        Log::error("Xml::parse(): null text\n");
        return false;
    }
    const size_t length = size < 0 ? std::strlen(text) : size_t(size);
    if (!XmlAccess::acceptable(text, length, nullptr)) {
        clear();
        return false;
    }
    // pugixml parses in place: a copy of the text becomes the document.
    XmlDocument *document = XmlDocument::allocate(length + 1);
    std::memcpy(document->text(), text, length);
    document->text()[length] = '\0';
    return XmlAccess::build(*this, document, length, nullptr);
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

bool Xml::save(const char *path, String *error) const
{
    String reason;
    if (!path || !*path)
        reason = "no file name";
    else if (!*name_.text)
        reason = "the root element has no name";
    else {
        const String text = toString();
        if (engine_internal::writeFileAtomic(path, text.get(), size_t(text.size()), &reason))
            return true;
    }
    Log::error("Xml::save(): can't write \"%s\": %s\n", path ? path : "", reason.get());
    if (error)
        *error = reason;
    return false;
}

void Xml::clear()
{
    for (int i = 0; i < num_children_; i++)
        XmlAccess::destroy(children_[i]);
    if (children_owned_)
        delete[] children_;
    children_ = nullptr;
    num_children_ = children_capacity_ = 0;
    children_owned_ = false;
    for (int i = 0; i < num_args_; i++) {
        XmlAccess::reset(args_[i].name);
        XmlAccess::reset(args_[i].value);
    }
    if (args_owned_)
        delete[] args_;
    args_ = nullptr;
    num_args_ = args_capacity_ = 0;
    args_owned_ = false;
    XmlAccess::reset(name_);
    XmlAccess::reset(data_);
    // Last: everything above may have pointed into it.
    XmlDocument::release(document_);
    document_ = nullptr;
}

void Xml::setName(const char *name)
{
    XmlAccess::assign(name_, name);
}

void Xml::setData(const char *data)
{
    XmlAccess::assign(data_, data);
}

int Xml::getIntData(int def) const
{
    int value = def;
    return parseIntText(data_.text, value) ? value : def;
}

float Xml::getFloatData(float def) const
{
    float value = def;
    return parseFloatText(data_.text, value) ? value : def;
}

bool Xml::getBoolData(bool def) const
{
    return parseBoolText(data_.text, def);
}

const char *Xml::getArgName(int index) const
{
    return index >= 0 && index < num_args_ ? args_[index].name.text : "";
}

const char *Xml::getArgValue(int index) const
{
    return index >= 0 && index < num_args_ ? args_[index].value.text : "";
}

int Xml::findArg(const char *name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < num_args_; i++)
        if (std::strcmp(args_[i].name.text, name) == 0)
            return i;
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
    if (index != -1) {
        XmlAccess::assign(args_[index].value, value);
        return;
    }
    // Copies first: name or value may be texts of this element's arguments.
    Arg arg;
    XmlAccess::assign(arg.name, name);
    XmlAccess::assign(arg.value, value);
    XmlAccess::reserveOne(args_, num_args_, args_capacity_, args_owned_);
    args_[num_args_++] = arg;
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
    XmlAccess::reset(args_[index].name);
    XmlAccess::reset(args_[index].value);
    std::copy(args_ + index + 1, args_ + num_args_, args_ + index);
    num_args_--;
    return true;
}

Xml *Xml::getChild(int index) const
{
    return index >= 0 && index < num_children_ ? children_[index] : nullptr;
}

Xml *Xml::findChild(const char *name) const
{
    return getChild(findChildIndex(name));
}

int Xml::findChildIndex(const char *name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < num_children_; i++)
        if (std::strcmp(children_[i]->name_.text, name) == 0)
            return i;
    return -1;
}

Xml *Xml::addChild(const char *name)
{
    VELMORA_ASSERT(name && *name);
    auto child = std::make_unique<Xml>(name);
    XmlAccess::reserveOne(children_, num_children_, children_capacity_, children_owned_);
    child->parent_ = this;
    children_[num_children_++] = child.get();
    return child.release();
}

bool Xml::removeChild(int index)
{
    if (index < 0 || index >= num_children_)
        return false;
    Xml *child = children_[index];
    std::copy(children_ + index + 1, children_ + num_children_, children_ + index);
    num_children_--;
    XmlAccess::destroy(child);
    return true;
}

bool Xml::removeChild(Xml *child)
{
    for (int i = 0; i < num_children_; i++)
        if (children_[i] == child)
            return removeChild(i);
    return false;
}

} // namespace Velmora
