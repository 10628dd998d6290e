#include "editor/splash/splash_background.h"

#include <QImage>
#include <QString>

#include <future>
#include <mutex>

namespace {

std::mutex &pendingMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::future<QImage> &pending()
{
    static std::future<QImage> image;
    return image;
}

} // namespace

const char *const SplashBackground::PATH = ":/images/splashscreen_editor.png";

void SplashBackground::preload()
{
    std::lock_guard<std::mutex> lock(pendingMutex());
    if (pending().valid())
        return;
    pending() = std::async(std::launch::async, [] { return QImage(QString::fromLatin1(PATH)); });
}

QPixmap SplashBackground::take()
{
    std::future<QImage> image;
    {
        std::lock_guard<std::mutex> lock(pendingMutex());
        image = std::move(pending());
    }
    // The same pixels as reading the file into a pixmap here.
    if (image.valid())
        return QPixmap::fromImage(image.get());
    return QPixmap(QString::fromLatin1(PATH));
}
