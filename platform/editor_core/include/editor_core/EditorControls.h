#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

// Opens the editor's web pages and shows files in the file manager, through
// the process-wide URL opener (core::setUrlOpener).
class EditorControls : public QObject
{
    Q_OBJECT

public:
    static const char *const GETTING_STARTED_URL;
    static const char *const VIDEO_TUTORIALS_URL;
    static const char *const DOCUMENTATION_URL;
    static const char *const FORUMS_URL;

    explicit EditorControls(QObject *parent = nullptr);
    ~EditorControls() override;

    void init();
    void shutdown();

    static bool openGettingStartedUrl();
    static bool openVideoTutorialsUrl();
    static bool openDocumentationUrl();
    static bool openForumsUrl();
};

// Opens the folder of path (the folder itself when path is one) in the file
// manager; false when it does not exist.
bool showInGraphicalShell(const QString &path);
