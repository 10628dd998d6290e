#pragma once

#include "editor/assembly/core/copy_item.h"

#include <QString>

namespace assembly::fs {

// Appends a copy item for every plain file under source_dir (symbolic links
// are skipped): source = the file's absolute path, destination = dest_prefix
// + the path relative to source_dir. Files of a folder come before its
// subfolders, which are handled depth first. A missing folder logs an info
// line and adds nothing. Either path may omit its trailing '/'.
void listFilesRecursive(const QString &source_dir, const QString &dest_prefix, bool recursive, fp::CopyItems &items);

} // namespace assembly::fs
