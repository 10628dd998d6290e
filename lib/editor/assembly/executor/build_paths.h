#pragma once

#include <QString>

namespace assembly {

// The folders and files of one build. Folders end with '/'; output_bin_dir
// and output_data_dir are relative to the build folder.
struct BuildPaths
{
    QString bin_dir;
    QString exe_dir;
    QString cache_dir;
    QString system_cache_file_path;
    QString editor_cache_file_path;
    QString sdk_development_dir;
    QString data_dir;
    QString output_bin_dir = QStringLiteral("bin/");
    QString output_data_dir = QStringLiteral("data/");
};

} // namespace assembly
