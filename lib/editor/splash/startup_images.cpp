#include "editor/splash/startup_images.h"

#include <QHash>

#include <future>
#include <mutex>

namespace {

std::mutex &pendingMutex()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, std::shared_future<QImage>> &pending()
{
    static QHash<QString, std::shared_future<QImage>> images;
    return images;
}

} // namespace

const char *const StartupImages::SPLASH_BACKGROUND = ":/images/splashscreen_editor.png";
const char *const StartupImages::EDITOR_ICON = ":/images/editor_icon.png";

void StartupImages::preload(const QString &path)
{
    std::lock_guard<std::mutex> lock(pendingMutex());
    if (pending().contains(path))
        return;
    pending().insert(path, std::async(std::launch::async, [path] { return QImage(path); }).share());
}

QImage StartupImages::take(const QString &path)
{
    std::shared_future<QImage> image;
    {
        std::lock_guard<std::mutex> lock(pendingMutex());
        image = pending().take(path);
    }
    return image.valid() ? image.get() : QImage(path);
}
