#include "editor/interdependence/parser/modules/material_module.h"

#include "editor/interdependence/parser/items/hierarchy.h"
#include "editor/interdependence/parser/material_fesk_parser.h"
#include "editor/interdependence/parser/material_xml_parser.h"

#include <editor_core/base/Assert.h>

#include <velmora/Fesk.h>
#include <velmora/Log.h>
#include <velmora/Xml.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace inas {
namespace parser {

namespace {

// A material file of at most the readers' size limit, read once with one
// open, one fstat and (usually) one read (no other look at the disk).
bool readMaterialFile(const char *path, QByteArray &bytes)
{
    const int fd = Velmora::Xml::openForReading(path);
    if (fd < 0)
        return false;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > Velmora::Xml::MAX_FILE_SIZE) {
        ::close(fd);
        return false;
    }
    // One byte more than fstat says: a read that stops at the file's size
    // tells that the file has ended, without a second read.
    const qint64 expected = info.st_size;
    bytes.resize(int(expected + 1));
    qint64 done = 0;
    for (;;) {
        if (done == bytes.size()) {
            // The file may have grown since fstat: read on until it ends.
            if (done > Velmora::Xml::MAX_FILE_SIZE)
                break;
            bytes.resize(int(std::min<qint64>(Velmora::Xml::MAX_FILE_SIZE + 1, done + 4096)));
        }
        const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ::close(fd);
            bytes.resize(int(done));
            return n == 0 && done <= Velmora::Xml::MAX_FILE_SIZE;
        }
        done += n;
        if (done == expected && done < bytes.size()) {
            ::close(fd);
            bytes.resize(int(done));
            return true;
        }
    }
    ::close(fd);
    return false;
}

// Whether the first non-blank character (after an optional UTF-8 BOM) is
// '<'. The FESK reader refuses such a text anyway; asking first spares the
// log a refusal line for every XML material.
bool looksLikeXml(const QByteArray &bytes)
{
    int i = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r'))
        ++i;
    return i < bytes.size() && bytes[i] == '<';
}

} // namespace

MaterialModule::MaterialModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor)
    : materials_(materials)
    , guid_processor_(std::move(guid_processor))
{
    EC_ASSERT(materials_ && guid_processor_);
}

void MaterialModule::process(const char *path, Item &item)
{
    processFile(path, item);
}

bool MaterialModule::processFile(const char *path, Item &item)
{
    if (!path || !*path) {
        Velmora::Log::warning("Dependency analysis: a material without a file path is not parsed\n");
        return false;
    }
    QByteArray bytes;
    if (!readMaterialFile(path, bytes)) {
        Velmora::Log::warning("This Material file cannot be opened - (%s)\n", path);
        return false;
    }
    if (!looksLikeXml(bytes)) {
        const Velmora::Ptr<Velmora::FeskNode> fesk = Velmora::FeskNode::create();
        if (fesk->parse(bytes.constData(), bytes.size())) {
            MaterialFeskParser parser(materials_, guid_processor_.get(), &item);
            parser.parse(*fesk);
            // The parent stays among the references the parser found; it is
            // also recorded as the parent, as for XML materials.
            if (auto *hierarchy = dynamic_cast<items::Hierarchy *>(&item)) {
                const Velmora::UGUID parent = readFeskMaterialParent(materials_, *fesk);
                if (parent.isValid())
                    hierarchy->setParentId(parent);
            }
            return true;
        }
    }
    Velmora::Xml xml;
    if (xml.parse(bytes.constData(), bytes.size())) {
        MaterialXmlParser parser(materials_, guid_processor_.get(), &item);
        parser.parse(xml);
        return true;
    }
    Velmora::Log::warning("This Material file cannot be opened - (%s)\n", path);
    return false;
}

} // namespace parser
} // namespace inas
