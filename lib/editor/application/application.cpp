#include "editor/application/application.h"

#include "core/base/build_information.h"
#include "editor/application/application_environment.h"
#include "editor/application/editor_message_handler.h"
#include "editor/application/memory_shortage.h"
#include "editor/application/thread_supply.h"
#include "editor/presenter/presenter.h"
#include "editor/splash/startup_images.h"

#include <editor_core/EditorProxyStyle.h>
#include <editor_core/View.h>
#include <editor_core/editor/AssetManager.h>
#include <editor_core/editor/PluginManager.h>

#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QScreen>
#include <QTimer>

namespace Editor {

namespace {
const char *const STYLE_SHEET = ":/qdarkstyle/style.qss";
} // namespace

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Right after QApplication took the user's locale, and before the first
    // thread of this object reads a QLocale (the start-up pictures' decoders
    // do, through Qt's resources): the default locale may not change under a
    // reader.
    useCNumericLocale();
    // main has installed this already; a test that makes the application
    // itself does it here.
    MemoryShortage::install();
    // The threads, before any other starts (the window system's run now).
    // Should they fall short, a test's event loop ends at once; it runs
    // offscreen, where nothing waits for Qt's D-Bus thread.
    if (!ThreadSupply::secure()) {
        QTimer::singleShot(0, this, [this] { exit(ThreadSupply::EXIT_TOO_FEW_THREADS); });
        return;
    }
    StartupImages::preload(QString::fromLatin1(StartupImages::EDITOR_ICON));
    StartupImages::preload(QString::fromLatin1(StartupImages::SPLASH_BACKGROUND));
    StartupImages::preloadFolder(QString::fromLatin1(StartupImages::HELP_PICTURES));
    QTimer::singleShot(0, this, [this, argc, argv] { initialize(argc, argv); });
    connect(this, &QCoreApplication::aboutToQuit, this, &Application::shutdown, Qt::DirectConnection);
}

Application::~Application()
{
    presenter_.reset();
    view_.reset();
    // A start that ended early (the engine failed) did not take every
    // picture decoded for it; their decoders read through Qt's image
    // plugins, which go with the application.
    StartupImages::dropPending();
}

void Application::initialize(int argc, char **argv)
{
    setupApplication();

    new AssetManager(this);
    new PluginManager(this);

    view_ = createView();
    presenter_ = std::make_unique<Presenter>(this, view_.get());
    if (!presenter_->init(argc, argv))
        exit(EXIT_ENGINE_FAILED);
}

void Application::setupApplication()
{
    setOrganizationName(QStringLiteral("Velmora"));
    setOrganizationDomain(QStringLiteral("velmora.dev"));
    setApplicationName(QStringLiteral("Editor"));
    setApplicationVersion(base::BuildInformation::version());

    setAttribute(Qt::AA_DontUseNativeMenuBar);

    QFile style_file(QString::fromLatin1(STYLE_SHEET));
    if (style_file.open(QIODevice::ReadOnly)) {
        QByteArray bytes = style_file.readAll();
        const int nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        setStyleSheet(QString::fromUtf8(bytes));
    }
    setStyle(new EditorProxyStyle);

    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Regular.ttf"));
    QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/Roboto-Light.ttf"));
    // Last, so that its decoding (started when the application was made) is
    // done by now.
    setWindowIcon(QIcon(QPixmap::fromImage(StartupImages::take(QString::fromLatin1(StartupImages::EDITOR_ICON)))));

    qInstallMessageHandler(editorMessageHandler);
}

std::unique_ptr<View> Application::createView()
{
    auto view = std::make_unique<View>(nullptr);
    const QScreen *screen = primaryScreen();
    if (screen)
        view->resize(mainWindowSize(screen->availableGeometry()));
    view->setWindowTitle(QStringLiteral("VelmoraEditor"));
    // The application's icon, read from the same file once.
    view->setWindowIcon(windowIcon());
    return view;
}

void Application::shutdown()
{
    if (presenter_)
        presenter_->shutdown();
    view_.reset();
}

} // namespace Editor
