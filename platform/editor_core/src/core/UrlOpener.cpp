#include "editor_core/core/UrlOpener.h"

#include <QDesktopServices>
#include <QMutex>
#include <QMutexLocker>

namespace core {

namespace {
QMutex g_mutex;
UrlOpener g_opener;
} // namespace

void setUrlOpener(UrlOpener opener)
{
    QMutexLocker locker(&g_mutex);
    g_opener = std::move(opener);
}

bool openUrl(const QUrl &url)
{
    UrlOpener opener;
    {
        QMutexLocker locker(&g_mutex);
        opener = g_opener;
    }
    if (opener)
        return opener(url);
    return QDesktopServices::openUrl(url);
}

} // namespace core
