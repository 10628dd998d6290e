// The launcher of a build: reads "<own path>.lconfig", shows the build's
// parameters and starts the chosen executable (relative to its own folder)
// with the arguments they make. "--run" starts at once with the stored
// values, waits for the executable and exits with its exit code.

#include "launcher_config.h"
#include "launcher_style.h"
#include "launcher_window.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QTextStream>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    applyLauncherStyle(application);
    const QString folder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const bool run_at_once = application.arguments().contains(QStringLiteral("--run"));

    LauncherConfig config;
    QString error;
    if (!config.load(QCoreApplication::applicationFilePath() + QStringLiteral(".lconfig"), error)) {
        QTextStream(stderr) << "Launcher: " << error << "\n";
        if (!run_at_once)
            QMessageBox::critical(nullptr, QStringLiteral("Launcher"), error);
        return 1;
    }
    const QString executable = config.executable();
    if (executable.isEmpty()) {
        QTextStream(stderr) << "Launcher: the settings name no executable\n";
        return 1;
    }
    const QString program = folder + executable;

    if (run_at_once || !config.show()) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.setWorkingDirectory(folder);
        process.start(program, config.commandLine());
        if (!process.waitForStarted(-1)) {
            QTextStream(stderr) << "Launcher: can't start " << program << ": " << process.errorString() << "\n";
            return 1;
        }
        process.waitForFinished(-1);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 1;
    }

    LauncherWindow window(config, folder);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        window.fitToScreen(screen->availableGeometry());
    QObject::connect(&window, &LauncherWindow::runRequested, [&]() {
        if (!QProcess::startDetached(program, config.commandLine(), folder)) {
            QMessageBox::critical(&window, QStringLiteral("Launcher"), QStringLiteral("Can't start %1.").arg(program));
            return;
        }
        window.close();
    });
    window.show();
    return application.exec();
}
