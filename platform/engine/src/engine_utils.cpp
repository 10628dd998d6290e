#include "velmora/FileSystem.h"
#include "velmora/Log.h"
#include "velmora/UGUID.h"

#include "engine_internal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <cstring>

namespace Velmora {
namespace engine_internal {

String resolveDataFile(const char *name)
{
    if (!name || !*name)
        return String();
    if (UGUID::isGUIDText(name))
        return FileSystem::getAbsolutePath(UGUID(name));
    String path = FileSystem::getAbsolutePath(name);
    if (!path.empty())
        return path;
    const QString text = QString::fromUtf8(name);
    QString candidate;
    if (QDir::isAbsolutePath(text)) {
        candidate = text;
    } else {
        const String data = dataPath();
        if (data.empty())
            return String();
        candidate = QString::fromUtf8(data.get()) + text;
    }
    const QFileInfo info(candidate);
    if (info.isFile())
        return String(QDir::cleanPath(info.absoluteFilePath()).toUtf8().constData());
    return String();
}

String toDataRelative(const String &absolute)
{
    const String data = dataPath();
    if (!data.empty() && absolute.startsWith(data.get()))
        return absolute.substr(data.size());
    return absolute;
}

bool writeFileAtomic(const String &path, const QByteArray &data)
{
    QSaveFile file(QString::fromUtf8(path.get()));
    if (!file.open(QIODevice::WriteOnly)) {
        Log::error("cannot write %s: %s\n", path.get(), file.errorString().toUtf8().constData());
        return false;
    }
    if (file.write(data) != data.size() || !file.commit()) {
        Log::error("cannot write %s: %s\n", path.get(), file.errorString().toUtf8().constData());
        return false;
    }
    return true;
}

bool readFile(const String &path, QByteArray &data)
{
    QFile file(QString::fromUtf8(path.get()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return true;
}

String formatFloat(float value)
{
    // Shortest text that reads back as the same float, independent of the
    // process locale.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer) - 1, value);
    *result.ptr = '\0';
    return String(buffer);
}

int parseFloats(const char *text, float *values, int max)
{
    if (!text)
        return 0;
    int count = 0;
    const char *p = text;
    const char *end = text + std::strlen(text);
    while (count < max) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == ','))
            ++p;
        if (p < end && *p == '+')
            ++p;
        float value = 0.0f;
        const auto result = std::from_chars(p, end, value);
        if (result.ec != std::errc() || result.ptr == p)
            break;
        values[count++] = value;
        p = result.ptr;
    }
    return count;
}

} // namespace engine_internal
} // namespace Velmora
