#include "editor/assembly/core/impl/file_processing/extra_engine_files_source.h"

#include "editor/assembly/core/impl/file_processing/list_files_recursive.h"

#include <editor_core/base/Assert.h>

#include <QFileInfo>
#include <QStringList>
#include <QtDebug>

namespace assembly {

namespace {

// Runtime libraries a Windows build of the engine loads.
const char *const WINDOWS_RUNTIMES[] = {"msvcp140.dll", "vcruntime140.dll", "d3dcompiler_47.dll"};

bool isFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

} // namespace

ExtraEngineFilesSource::ExtraEngineFilesSource(const QString &bin_dir, const QString &data_dir,
                                               const QString &cache_dir, const QString &system_cache_file_path,
                                               const QString &editor_cache_file_path, const QString &output_bin_dir,
                                               const QString &output_data_dir, System system, Binary binary,
                                               VideoAPI vapi)
    : bin_dir_(bin_dir)
    , data_dir_(data_dir)
    , cache_dir_(cache_dir)
    , system_cache_file_path_(system_cache_file_path)
    , editor_cache_file_path_(editor_cache_file_path)
    , output_bin_dir_(output_bin_dir)
    , output_data_dir_(output_data_dir)
    , system_(system)
    , binary_(binary)
    , vapi_(vapi)
{}

bool ExtraEngineFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/,
                                     fp::CopyItems &items)
{
    if (system_ == System::Windows && !addRuntimeLibraries(items))
        return false;

    const QString textures = QStringLiteral(".cache_textures");
    fs::listFilesRecursive(data_dir_ + textures, output_data_dir_ + textures + QLatin1Char('/'), true, items);

    addPackageOrFolder(QStringLiteral("core"), items);
    addPackageOrFolder(QStringLiteral("scripts"), items);
    addShaderCaches(items);

    addIfExists(system_cache_file_path_, output_data_dir_ + QStringLiteral("velmora.cache"), items);
    addIfExists(editor_cache_file_path_, output_data_dir_ + QStringLiteral("editor.cache"), items);
    return progress(1, 1);
}

bool ExtraEngineFilesSource::addRuntimeLibraries(fp::CopyItems &items) const
{
    for (const char *runtime : WINDOWS_RUNTIMES) {
        const QString name = QString::fromLatin1(runtime);
        QString path = bin_dir_ + name;
        if (!isFile(path))
            path = bin_dir_ + QStringLiteral("x64/") + name;
        if (!isFile(path)) {
            qCritical() << "Build Tool: This file (" << path << ") doesn't exist.";
            return false;
        }
        items.append(fp::CopyItem{path, output_bin_dir_ + name});
    }
    return true;
}

void ExtraEngineFilesSource::addPackageOrFolder(const QString &name, fp::CopyItems &items) const
{
    const QString package = name + QStringLiteral(".pkq");
    if (isFile(data_dir_ + package)) {
        items.append(fp::CopyItem{data_dir_ + package, output_data_dir_ + package});
        return;
    }
    qInfo() << "Build Tool: This file (" << data_dir_ + package << ") doesn't exist.";
    fs::listFilesRecursive(data_dir_ + name, output_data_dir_ + name + QLatin1Char('/'), true, items);
}

void ExtraEngineFilesSource::addShaderCaches(fp::CopyItems &items) const
{
    const bool debug = binary_ == Binary::Debug;
    const QString d3d11 = debug ? QStringLiteral("shader_d3d11_debug.cache") : QStringLiteral("shader_d3d11.cache");
    const QString gl = debug ? QStringLiteral("shader_gl_debug.cache") : QStringLiteral("shader_gl.cache");

    QStringList names;
    switch (vapi_) {
    case VideoAPI::Auto:
        if (system_ == System::Windows)
            names << d3d11;
        names << gl;
        break;
    case VideoAPI::DX11:
        if (system_ == System::Windows)
            names << d3d11;
        else
            qWarning() << "Build Tool: Video API (Direct X) is not available for Linux.";
        break;
    case VideoAPI::OpenGL:
        names << gl;
        break;
    default:
        EC_ASSERT(false && "Unsupported video api type!");
        break;
    }
    for (const QString &name : names)
        addIfExists(cache_dir_ + name, output_data_dir_ + name, items);
}

void ExtraEngineFilesSource::addIfExists(const QString &path, const QString &dest, fp::CopyItems &items)
{
    if (!path.isEmpty() && isFile(path))
        items.append(fp::CopyItem{path, dest});
    else
        qInfo() << "Build Tool: This file (" << path << ") doesn't exist.";
}

} // namespace assembly
