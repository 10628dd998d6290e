#include "editor/splash/startup_images.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPixmap>
#include <QPixmapCache>
#include <QVector>

#include <atomic>
#include <future>
#include <mutex>
#include <system_error>
#include <utility>

namespace {

using DecodedFolder = QVector<std::pair<QString, QImage>>;

// Decoding started on threads of their own, by what they decode.
template<typename Result>
using Pending = QHash<QString, std::shared_future<Result>>;

std::mutex &pendingMutex()
{
    static std::mutex mutex;
    return mutex;
}

Pending<QImage> &pending()
{
    static Pending<QImage> images;
    return images;
}

Pending<DecodedFolder> &pendingFolders()
{
    static Pending<DecodedFolder> folders;
    return folders;
}

// Set while what is pending is dropped: a folder's decoding stops.
std::atomic<bool> g_dropping{false};

// Starts make on a thread of its own under key, unless it was started.
template<typename Result, typename Make>
void startOnce(Pending<Result> &started, const QString &key, Make make)
{
    std::lock_guard<std::mutex> lock(pendingMutex());
    if (started.contains(key))
        return;
    try {
        started.insert(key, std::async(std::launch::async, std::move(make)).share());
    } catch (const std::system_error &) {
        // No thread to spare: it is decoded when it is asked for.
    }
}

// What was started under key (nothing valid when nothing was), no longer
// pending.
template<typename Result>
std::shared_future<Result> takeStarted(Pending<Result> &started, const QString &key)
{
    std::lock_guard<std::mutex> lock(pendingMutex());
    return started.take(key);
}

DecodedFolder decodeFolder(const QString &folder)
{
    DecodedFolder images;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    for (const QString &name : names) {
        if (g_dropping)
            break;
        const QString path = dir.filePath(name);
        images.append({path, QImage(path)});
    }
    return images;
}

// Appends the bytes of value as QPixmap's cache keys write them: two
// hexadecimal digits a byte, lower digit first, in memory order.
template<typename T>
void appendHex(QString &key, T value)
{
    static const char digits[] = "0123456789abcdef";
    const auto *bytes = reinterpret_cast<const unsigned char *>(&value);
    for (size_t i = 0; i < sizeof(T); ++i) {
        key += QLatin1Char(digits[bytes[i] & 0xf]);
        key += QLatin1Char(digits[bytes[i] >> 4]);
    }
}

} // namespace

const char *const StartupImages::SPLASH_BACKGROUND = ":/images/splashscreen_editor.png";
const char *const StartupImages::EDITOR_ICON = ":/images/editor_icon.png";
const char *const StartupImages::HELP_PICTURES = ":/images/help_window";

void StartupImages::preload(const QString &path)
{
    startOnce(pending(), path, [path] { return QImage(path); });
}

QImage StartupImages::take(const QString &path)
{
    const std::shared_future<QImage> image = takeStarted(pending(), path);
    return image.valid() ? image.get() : QImage(path);
}

void StartupImages::preloadFolder(const QString &folder)
{
    startOnce(pendingFolders(), folder, [folder] { return decodeFolder(folder); });
}

void StartupImages::cacheFolder(const QString &folder)
{
    const std::shared_future<DecodedFolder> images = takeStarted(pendingFolders(), folder);
    if (!images.valid())
        return;
    for (const auto &image : images.get()) {
        // A file that is no image is left to be read (and refused) where it
        // is asked for, as before.
        if (!image.second.isNull())
            QPixmapCache::insert(pixmapCacheKey(image.first), QPixmap::fromImage(image.second));
    }
}

void StartupImages::dropPending()
{
    Pending<QImage> images;
    Pending<DecodedFolder> folders;
    {
        std::lock_guard<std::mutex> lock(pendingMutex());
        images.swap(pending());
        folders.swap(pendingFolders());
        g_dropping = true;
    }
    // The last holder of a decoding's result joins its thread.
    images.clear();
    folders.clear();
    g_dropping = false;
}

QString StartupImages::pixmapCacheKey(const QString &path)
{
    // As QPixmap::load makes it: the file's absolute path, its time and size,
    // and the pixel type of a pixmap (0 for a pixmap, not a bitmap).
    const QFileInfo info(path);
    QString key = QLatin1String("qt_pixmap") + info.absoluteFilePath();
    appendHex(key, uint(info.lastModified().toSecsSinceEpoch()));
    appendHex(key, quint64(info.size()));
    appendHex(key, uint(0));
    return key;
}
