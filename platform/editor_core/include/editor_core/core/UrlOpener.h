#pragma once

#include <QUrl>

#include <functional>

namespace core {

using UrlOpener = std::function<bool(const QUrl &)>;

// The process-wide way URLs are opened (default QDesktopServices::openUrl).
// Tests install a recorder; an empty function restores the default.
void setUrlOpener(UrlOpener opener);
bool openUrl(const QUrl &url);

} // namespace core
