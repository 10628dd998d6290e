#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Velmora {

struct XmlDocument;

// An XML element tree (the engine's XML document). The object returned by
// create() is the root element; every child is owned by its parent, so the
// Xml* pointers returned by getChild/findChild/addChild stay valid until
// their element (or an ancestor) is removed, cleared or reloaded.
//
// Reading uses pugixml with its default options: CDATA, the five predefined
// entities and numeric character references are decoded; no DTD or external
// entity is ever read. load() and parse() refuse (false, one log line, the
// element left empty): a read error, a document larger than 64 MiB, a first
// non-blank character (after an optional UTF-8 BOM) other than '<', any
// parse error, a document without a root element, and nesting deeper than
// 256 elements. A FESK file therefore never loads as XML.
//
// getData() is the element's own text and CDATA concatenated and trimmed of
// ASCII white space (children excluded). save() writes UTF-8 with a
// declaration, one tab per level, attributes in order and escaped text;
// comments and processing instructions are not kept. All texts are UTF-8.
//
// A loaded tree is cheap: the file is read once and parsed in place, and
// every element, attribute and text of the tree points into one block owned
// by the element that loaded it, released at once. Edited texts, attributes
// and added children get storage of their own.
class Xml
{
public:
    static constexpr int MAX_DEPTH = 256;
    static constexpr long long MAX_FILE_SIZE = 64ll * 1024 * 1024;

    static Ptr<Xml> create(const char *name = nullptr);

    Xml();
    explicit Xml(const char *name);
    ~Xml();
    Xml(const Xml &) = delete;
    Xml &operator=(const Xml &) = delete;

    // Replaces this element by the document's root element.
    bool load(const char *path);

    // Opens a file for reading as load() does: close-on-exec and without
    // waiting (a FIFO opens at once and is refused by its reader). While a
    // FolderScope lives on the calling thread, a file is opened through a
    // handle of its folder that is kept for the next file of the same
    // folder, which spares the system walking the whole path each time.
    // -1 (and errno) when the file cannot be opened.
    static int openForReading(const char *path);

    // Lets openForReading keep the handle of the last folder it opened on
    // this thread, for as long as the scope lives. Files opened meanwhile
    // are looked up in the folder as it was when its handle was made: a
    // scope is for one pass over files that do not move. Scopes do not nest.
    class FolderScope
    {
    public:
        FolderScope();
        ~FolderScope();
        FolderScope(const FolderScope &) = delete;
        FolderScope &operator=(const FolderScope &) = delete;

    private:
        friend class Xml;
        std::string folder_;
        int fd_ = -1;
    };
    bool parse(const char *text, int size = -1);
    // Writes this element as a document, atomically (a symbolic link to a
    // file inside the data folder writes that file). On failure the reason
    // is logged and, when error is given, kept there too.
    bool save(const char *path, String *error = nullptr) const;
    // The document text that save() writes.
    String toString() const;
    // Empties the element: no name, arguments, data or children.
    void clear();

    Xml *getParent() const { return parent_; }

    const char *getName() const { return name_.text; }
    void setName(const char *name);

    const char *getData() const { return data_.text; }
    void setData(const char *data);
    int getIntData(int def = 0) const;
    float getFloatData(float def = 0.0f) const;
    bool getBoolData(bool def = false) const;

    // Attributes in document order.
    int getNumArgs() const { return num_args_; }
    // "" for an invalid index.
    const char *getArgName(int index) const;
    const char *getArgValue(int index) const;
    // Index of the attribute, -1 when absent.
    int findArg(const char *name) const;
    bool isArg(const char *name) const { return findArg(name) != -1; }
    // "" when absent.
    const char *getArg(const char *name) const;
    // Decimal integer; def when absent or not a number.
    int getIntArg(const char *name, int def = 0) const;
    float getFloatArg(const char *name, float def = 0.0f) const;
    // "1"/"true" -> true, "0"/"false" -> false (any case), else def.
    bool getBoolArg(const char *name, bool def = false) const;
    // Sets the value, appending the attribute when absent.
    void setArg(const char *name, const char *value);
    void setIntArg(const char *name, int value);
    void setFloatArg(const char *name, float value);
    bool removeArg(const char *name);

    // Children in document order.
    int getNumChildren() const { return num_children_; }
    // Null for an invalid index.
    Xml *getChild(int index) const;
    // First child with that name, null when none.
    Xml *findChild(const char *name) const;
    int findChildIndex(const char *name) const;
    // Appends a new child element.
    Xml *addChild(const char *name);
    // Removes and deletes a child; false for an invalid index.
    bool removeChild(int index);
    bool removeChild(Xml *child);

private:
    friend struct XmlAccess;

    // A NUL-terminated text, borrowed from the loaded document or owned
    // (owned is then the text).
    struct Text
    {
        const char *text = "";
        char *owned = nullptr;
    };
    struct Arg
    {
        Text name;
        Text value;
    };

    Text name_;
    Text data_;
    // Arrays borrowed from the document until they must grow.
    Arg *args_ = nullptr;
    Xml **children_ = nullptr;
    int num_args_ = 0;
    int args_capacity_ = 0;
    int num_children_ = 0;
    int children_capacity_ = 0;
    bool args_owned_ = false;
    bool children_owned_ = false;
    // Lives in an ancestor's document: destroyed with it, never deleted.
    bool in_document_ = false;
    Xml *parent_ = nullptr;
    // The storage of the tree this element loaded; freed with the element.
    XmlDocument *document_ = nullptr;
};

} // namespace Velmora
