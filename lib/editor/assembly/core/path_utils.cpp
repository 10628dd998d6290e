#include "editor/assembly/core/path_utils.h"

#include "editor/assembly/core/engine_info.h"

#include <editor_core/base/Assert.h>

#include <QDir>
#include <QFileInfo>
#include <QVector>
#include <QtDebug>

namespace assembly {

QString normalizePath(const QString &path)
{
    if (path.isEmpty()) {
        qWarning() << "Build Tool: normalizePath, the path is empty.";
        return QString();
    }
    if (path.contains(QLatin1Char('\\'))) {
        qWarning() << "Build Tool: normalizePath, the path holds a backslash (" << path << ").";
        return QString();
    }
    QString result = QDir::cleanPath(path);
    if (!result.endsWith(QLatin1Char('/')))
        result += QLatin1Char('/');
    return result;
}

QString getBinPath(const QString &root)
{
    if (root.isEmpty())
        return QString();
    const QString normal = normalizePath(root);
    return normal.isEmpty() ? QString() : normal + QStringLiteral("bin/");
}

QString getDevelopmentBinPath(const QString &root)
{
    const QString bin = getBinPath(root);
    return bin.isEmpty() ? QString() : bin + QStringLiteral("development/");
}

QString engineBaseName()
{
    return QStringLiteral("Velmora");
}

QString executableExtension(System system)
{
    switch (system) {
    case System::Windows:
        return QStringLiteral(".exe");
    case System::Linux:
        return QString();
    }
    EC_ASSERT(false && "Unknown system type");
    return QString();
}

QString libraryExtension(System system)
{
    switch (system) {
    case System::Windows:
        return QStringLiteral(".dll");
    case System::Linux:
        return QStringLiteral(".so");
    }
    EC_ASSERT(false && "Unknown System type");
    return QString();
}

QString libraryPrefix(System system)
{
    switch (system) {
    case System::Windows:
        return QString();
    case System::Linux:
        return QStringLiteral("lib");
    }
    EC_ASSERT(false && "Unknown System type");
    return QString();
}

QString architectureSuffix()
{
    return QStringLiteral("_x64");
}

QString debugSuffix(Binary binary)
{
    return binary == Binary::Debug ? QStringLiteral("d") : QString();
}

QString precisionSuffix(Precision precision)
{
    switch (precision) {
    case Precision::Double:
        return QStringLiteral("_double");
    case Precision::Float:
        return QString();
    }
    EC_ASSERT(false && "Unknown precision type");
    return QString();
}

QString makeExecutableName(System system, Binary binary, Precision precision, const QString &name)
{
    if (name.isEmpty()) {
        EC_SOFT_ASSERT(!name.isEmpty());
        return QString();
    }
    return name + precisionSuffix(precision) + architectureSuffix() + debugSuffix(binary) + executableExtension(system);
}

QString makeLibraryName(System system, Binary binary, Precision precision, const QString &name)
{
    if (name.isEmpty()) {
        EC_SOFT_ASSERT(!name.isEmpty());
        return QString();
    }
    return libraryPrefix(system) + name + precisionSuffix(precision) + architectureSuffix() + debugSuffix(binary)
            + libraryExtension(system);
}

bool hasDevelopmentBinaries(const QString &sdk_folder, SDKEdition edition)
{
    if (sdk_folder.isEmpty())
        return false;
    const QString bin = getBinPath(sdk_folder);
    const QString dev = getDevelopmentBinPath(sdk_folder);
    if (bin.isEmpty() || !QFileInfo(bin).isDir() || !QFileInfo(dev).isDir())
        return false;

    QVector<Precision> precisions;
    if (static_cast<int>(edition) > 2)
        precisions << Precision::Double;
    precisions << Precision::Float;

    const System system = getCurrentSystem();
    const QString base = engineBaseName();
    for (const Precision precision : precisions) {
        const QStringList in_bin = {makeLibraryName(system, Binary::Development, precision, base),
                                    makeLibraryName(system, Binary::Debug, precision, base)};
        for (const QString &name : in_bin) {
            if (!QFileInfo(bin + name).isFile())
                return false;
        }
        if (!QFileInfo(dev + makeLibraryName(system, Binary::Development, precision, base)).isFile())
            return false;
    }
    return true;
}

bool isSafeRelativePath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\')))
        return false;
    const QStringList segments = path.split(QLatin1Char('/'));
    for (const QString &segment : segments) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
    }
    return true;
}

bool isPlainFileName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
            && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

} // namespace assembly
