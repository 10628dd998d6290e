#pragma once

#include "editor/assembly/core/assembly_enums.h"
#include "editor/assembly/core/source.h"
#include "editor/assembly/launcher/command_line.h"

#include <QString>
#include <QStringList>

namespace assembly {

// A launcher script that starts one executable with the build's command
// line: "<name>.bat" on Windows, "<name>.sh" on Linux (made executable).
// Arguments are quoted for the script's shell, so a value holding blanks,
// quotes, "$", backticks or ';' reaches the executable as one argument and
// runs nothing else.
class ScriptLauncherFilesSource : public fp::Source
{
public:
    ScriptLauncherFilesSource(System system, const CommandLine &command_line, const QString &output_file_name,
                              const QString &bin_dir, const QString &output_dir);

    void setExecutablePath(const QString &path) { exe_file_path_ = path; }

    int getMaxProgress() const override { return 1; }
    bool process(const ProgressCallback &progress, post::OperationQueue &queue, fp::CopyItems &items) override;

    const QString &outputFileName() const { return output_file_name_; }
    const QString &executablePath() const { return exe_file_path_; }

    // The arguments as the script writes them, each preceded by one blank.
    static QString commandLineText(const QStringList &args, System system);
    // One argument quoted for the system's script shell when it needs it.
    static QString quoteArgument(const QString &argument, System system);
    // The system's template with its placeholders filled in one pass (a
    // placeholder inside a filled-in value stays as it is); "" for an
    // unknown system.
    static QString scriptText(System system, const QString &binary_dir_name, const QString &executable_name,
                              const QString &command_line);

private:
    QString exe_file_path_;
    QString output_file_name_;
    QString bin_dir_;
    QString output_dir_;
    CommandLine command_line_;
    System system_;
};

} // namespace assembly
