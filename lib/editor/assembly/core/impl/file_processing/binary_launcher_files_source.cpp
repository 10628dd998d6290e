#include "editor/assembly/core/impl/file_processing/binary_launcher_files_source.h"

#include "editor/assembly/core/impl/file_processing/binary_traits.h"
#include "editor/assembly/core/impl/file_processing/list_files_recursive.h"
#include "editor/assembly/core/impl/file_processing/temporary_build_file.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/launcher/launcher_settings.h"

#include <editor_core/base/Assert.h>

#include <QFileInfo>
#include <QStringList>
#include <QtDebug>

namespace assembly {

BinaryLauncherFilesSource::BinaryLauncherFilesSource(const CommandLine &command_line, System system,
                                                     const QString &project_name, BuildConfiguration build,
                                                     Binary binary, SDKEdition sdk_edition, bool launcher_non_debug,
                                                     const QString &banner_path, const QString &src_bin_path,
                                                     const QString &output_dir)
    : src_bin_path_(src_bin_path)
    , project_name_(project_name)
    , output_dir_(output_dir)
    , banner_path_(banner_path)
    , launcher_name_(project_name)
    , command_line_(command_line)
    , launcher_binary_(BinaryTraits::kindOf(launcher_non_debug))
    , binary_(binary)
    , build_(build)
    , system_(system)
    , sdk_edition_(sdk_edition)
{}

void BinaryLauncherFilesSource::setExecutablePaths(const QString &debug, const QString &dev, const QString &release)
{
    debug_exe_ = debug;
    dev_exe_ = dev;
    release_exe_ = release;
}

bool BinaryLauncherFilesSource::process(const ProgressCallback &progress, post::OperationQueue &queue,
                                        fp::CopyItems &items)
{
    EC_ASSERT(!src_bin_path_.isEmpty());
    if (!isPlainFileName(launcher_name_)) {
        qCritical() << "Build Tool: the project name (" << launcher_name_
                    << ") can't be used as a file name in the build folder.";
        return false;
    }
    const QString launcher_file = launcher_name_ + (system_ == System::Windows ? QStringLiteral(".exe") : QString());

    const QString launcher = src_bin_path_
            + BinaryTraits(system_, launcher_binary_, Precision::Float)
                      .executableName(QStringLiteral("ApplicationLauncher"));
    if (!QFileInfo(launcher).isFile()) {
        qCritical() << "Build Tool: The important file (" << launcher << ") doesn't exist.";
        return false;
    }
    items.append(fp::CopyItem{launcher, output_dir_ + launcher_file});

    launcher::Settings settings;
    settings.name = project_name_;
    settings.build = build_;
    settings.sdk_edition = sdk_edition_;
    settings.binary = binary_;
    settings.release = release_exe_;
    settings.dev = dev_exe_;
    settings.debug = debug_exe_;
    settings.banner = banner_path_;
    settings.cmd = command_line_;
    const QByteArray bytes = launcher::serializeSettings(settings);
    EC_ASSERT(!bytes.isEmpty());
    const QString settings_file = TemporaryBuildFile::write(QStringLiteral("appconfig"), bytes, queue);
    if (settings_file.isEmpty())
        return false;
    items.append(fp::CopyItem{settings_file, output_dir_ + launcher_file + QStringLiteral(".lconfig")});

    if (system_ == System::Windows) {
        for (const char *runtime : {"msvcp140.dll", "vcruntime140.dll"}) {
            if (!addRequired(QString::fromLatin1(runtime), true, items))
                return false;
        }
    }
    QStringList qt_modules{QStringLiteral("Core"), QStringLiteral("Gui"), QStringLiteral("Widgets")};
    if (system_ == System::Linux)
        qt_modules << QStringLiteral("XcbQpa") << QStringLiteral("DBus");
    for (const QString &module : qt_modules) {
        const QString name = system_ == System::Windows ? QStringLiteral("Qt5%1.dll").arg(module)
                                                        : QStringLiteral("libQt5%1.so.5").arg(module);
        if (!addRequired(name, false, items))
            return false;
    }
    for (const QString &folder : {QStringLiteral("platforms"), QStringLiteral("styles")})
        fs::listFilesRecursive(src_bin_path_ + folder, output_dir_ + folder + QLatin1Char('/'), true, items);
    if (system_ == System::Linux && !addRequired(QStringLiteral("libpng12.so.0"), false, items))
        return false;
    return progress(1, 1);
}

bool BinaryLauncherFilesSource::addRequired(const QString &name, bool x64_fallback, fp::CopyItems &items) const
{
    QString path = src_bin_path_ + name;
    if (x64_fallback && !QFileInfo(path).isFile())
        path = src_bin_path_ + QStringLiteral("x64/") + name;
    if (!QFileInfo(path).isFile()) {
        qCritical() << "Build Tool: This file (" << path << ") doesn't exist.";
        return false;
    }
    items.append(fp::CopyItem{path, output_dir_ + name});
    return true;
}

} // namespace assembly
