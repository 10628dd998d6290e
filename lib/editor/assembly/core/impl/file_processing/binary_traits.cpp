#include "editor/assembly/core/impl/file_processing/binary_traits.h"

#include "editor/assembly/core/path_utils.h"

namespace assembly {

QString BinaryTraits::libraryName(const QString &base_name) const
{
    return makeLibraryName(system_, binary_, precision_, base_name);
}

QString BinaryTraits::executableName(const QString &base_name) const
{
    return makeExecutableName(system_, binary_, precision_, base_name);
}

} // namespace assembly
