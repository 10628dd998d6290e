#include "editor/assembly/core/impl/file_processing/sound_files_source.h"

#include <editor_core/base/Assert.h>

#include <QFileInfo>
#include <QtDebug>

namespace assembly {

SoundFilesSource::SoundFilesSource(const QString &bin_dir, const QString &output_dir, System system)
    : bin_dir_(bin_dir)
    , output_dir_(output_dir)
    , system_(system)
{}

bool SoundFilesSource::process(const ProgressCallback &progress, post::OperationQueue & /*queue*/, fp::CopyItems &items)
{
    QString name;
    switch (system_) {
    case System::Windows:
        name = QStringLiteral("openal32.dll");
        break;
    case System::Linux:
        name = QStringLiteral("libopenal.so");
        break;
    }
    EC_ASSERT(!name.isEmpty() && "Unknown system type");

    QString path = bin_dir_ + name;
    if (!QFileInfo(path).isFile())
        path = bin_dir_ + QStringLiteral("x64/") + name;
    if (!QFileInfo(path).isFile()) {
        qCritical() << "Build Tool: file not found(" << path << ").";
        return false;
    }
    items.append(fp::CopyItem{path, output_dir_ + name});
    return progress(1, 1);
}

} // namespace assembly
