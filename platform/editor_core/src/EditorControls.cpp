#include "editor_core/EditorControls.h"

#include "editor_core/core/UrlOpener.h"

#include <velmora/Log.h>

#include <QFileInfo>

const char *const EditorControls::GETTING_STARTED_URL = "https://www.velmora.example/getting-started";
const char *const EditorControls::VIDEO_TUTORIALS_URL = "https://www.velmora.example/videos";
const char *const EditorControls::DOCUMENTATION_URL = "https://www.velmora.example/docs";
const char *const EditorControls::FORUMS_URL = "https://www.velmora.example/forum";

EditorControls::EditorControls(QObject *parent)
    : QObject(parent)
{}

EditorControls::~EditorControls() = default;

void EditorControls::init() {}

void EditorControls::shutdown() {}

bool EditorControls::openGettingStartedUrl()
{
    return core::openUrl(QUrl(QLatin1String(GETTING_STARTED_URL)));
}

bool EditorControls::openVideoTutorialsUrl()
{
    return core::openUrl(QUrl(QLatin1String(VIDEO_TUTORIALS_URL)));
}

bool EditorControls::openDocumentationUrl()
{
    return core::openUrl(QUrl(QLatin1String(DOCUMENTATION_URL)));
}

bool EditorControls::openForumsUrl()
{
    return core::openUrl(QUrl(QLatin1String(FORUMS_URL)));
}

bool showInGraphicalShell(const QString &path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        Velmora::Log::warning("Cannot show \"%s\": no such file or folder\n", qUtf8Printable(path));
        return false;
    }
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    return core::openUrl(QUrl::fromLocalFile(folder));
}
