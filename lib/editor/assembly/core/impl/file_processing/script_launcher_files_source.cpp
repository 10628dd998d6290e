#include "editor/assembly/core/impl/file_processing/script_launcher_files_source.h"

#include "editor/assembly/core/impl/file_processing/temporary_build_file.h"
#include "editor/assembly/core/path_utils.h"

#include <editor_core/fs/FileSystem.h>

#include <QRegularExpression>
#include <QtDebug>

namespace assembly {

namespace {

const char WINDOWS_TEMPLATE[] = "@echo off\n"
                                "chcp 65001\n"
                                "setlocal EnableDelayedExpansion\n"
                                "set app=%~dp0$(BINARY_DIR_NAME)\\$(EXECUTABLE_NAME)\n"
                                "start /b \"\" \"%app%\" $(COMMAND_LINE)\n";

const char LINUX_TEMPLATE[] = "#!/bin/sh\n"
                              "SCRIPT_DIR=$( cd \"$( dirname \"$0\" )\" && pwd )\n"
                              "APP=\"$SCRIPT_DIR/$(BINARY_DIR_NAME)/$(EXECUTABLE_NAME)\"\n"
                              "if [ -f \"$APP\" ]; then\n"
                              "\t\"$APP\" $(COMMAND_LINE)\n"
                              "else\n"
                              "\techo \"$APP not found\"\n"
                              "fi\n";

// Characters sh takes literally outside quotes.
bool isShellPlain(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./:=+,@%-]+$"));
    return plain.match(argument).hasMatch();
}

} // namespace

ScriptLauncherFilesSource::ScriptLauncherFilesSource(System system, const CommandLine &command_line,
                                                     const QString &output_file_name, const QString &bin_dir,
                                                     const QString &output_dir)
    : output_file_name_(output_file_name)
    , bin_dir_(bin_dir)
    , output_dir_(output_dir)
    , command_line_(command_line)
    , system_(system)
{}

QString ScriptLauncherFilesSource::quoteArgument(const QString &argument, System system)
{
    if (system == System::Linux) {
        if (isShellPlain(argument))
            return argument;
        QString quoted = argument;
        quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        return QLatin1Char('\'') + quoted + QLatin1Char('\'');
    }
    if (argument.isEmpty())
        return QStringLiteral("\"\"");
    if (!argument.contains(QLatin1Char(' ')) && !argument.contains(QLatin1Char('"')))
        return argument;
    QString quoted = argument;
    quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString ScriptLauncherFilesSource::commandLineText(const QStringList &args, System system)
{
    QString text;
    for (const QString &argument : args)
        text += QLatin1Char(' ') + quoteArgument(argument, system);
    return text;
}

QString ScriptLauncherFilesSource::scriptText(System system, const QString &binary_dir_name,
                                              const QString &executable_name, const QString &command_line)
{
    QString pattern;
    switch (system) {
    case System::Windows:
        pattern = QString::fromLatin1(WINDOWS_TEMPLATE);
        break;
    case System::Linux:
        pattern = QString::fromLatin1(LINUX_TEMPLATE);
        break;
    default:
        return QString();
    }
    static const QRegularExpression placeholder(
            QStringLiteral("\\$\\((BINARY_DIR_NAME|EXECUTABLE_NAME|COMMAND_LINE)\\)"));
    QString text;
    int from = 0;
    QRegularExpressionMatchIterator it = placeholder.globalMatch(pattern);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        text += pattern.mid(from, match.capturedStart() - from);
        const QString name = match.captured(1);
        if (name == QLatin1String("BINARY_DIR_NAME"))
            text += binary_dir_name;
        else if (name == QLatin1String("EXECUTABLE_NAME"))
            text += executable_name;
        else
            text += command_line;
        from = match.capturedEnd();
    }
    text += pattern.mid(from);
    return text;
}

bool ScriptLauncherFilesSource::process(const ProgressCallback &progress, post::OperationQueue &queue,
                                        fp::CopyItems &items)
{
    if (exe_file_path_.isEmpty()) {
        qCritical() << "Build Tool: the launcher script" << output_file_name_ << "has no executable to start.";
        return false;
    }
    if (!isPlainFileName(output_file_name_)) {
        qCritical() << "Build Tool: the project name (" << output_file_name_
                    << ") can't be used as a file name in the build folder.";
        return false;
    }

    QString binary_dir_name = ::fs::dirname(bin_dir_);
    while (binary_dir_name.endsWith(QLatin1Char('/')))
        binary_dir_name.chop(1);
    if (system_ == System::Windows)
        binary_dir_name.replace(QLatin1Char('/'), QLatin1Char('\\'));

    const QString text = scriptText(system_, binary_dir_name, ::fs::basename(exe_file_path_),
                                    commandLineText(convertToArgs(command_line_), system_));
    if (text.isEmpty())
        return false;

    const bool windows = system_ == System::Windows;
    const QString script = TemporaryBuildFile::write(QStringLiteral("launcher"), text.toUtf8(), queue,
                                                     windows ? TemporaryBuildFile::DATA_PERMISSIONS
                                                             : TemporaryBuildFile::SCRIPT_PERMISSIONS);
    if (script.isEmpty())
        return false;
    items.append(fp::CopyItem{
            script, output_dir_ + output_file_name_ + (windows ? QStringLiteral(".bat") : QStringLiteral(".sh"))});
    return progress(1, 1);
}

} // namespace assembly
