// Writes a generated project for the dependency analysis benchmark:
//
//   deps_genproject --assets N [--seed S] [--big-folder F] DATA_FOLDER
//
// DATA_FOLDER must not exist; the true dependency graph goes to truth.tsv
// beside it.

#include "project_generator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("assets"), QStringLiteral("Number of assets."), QStringLiteral("n"),
                       QStringLiteral("10000")});
    options.addOption({QStringLiteral("seed"), QStringLiteral("Seed."), QStringLiteral("n"), QStringLiteral("1")});
    options.addOption({QStringLiteral("big-folder"), QStringLiteral("Images in the big folder."), QStringLiteral("n"),
                       QStringLiteral("5000")});
    options.addPositionalArgument(QStringLiteral("data"), QStringLiteral("The data folder to write (must not exist)."));
    options.process(app);
    if (options.positionalArguments().size() != 1)
        options.showHelp(2);

    depsbench::GeneratorOptions generator;
    generator.assets = options.value(QStringLiteral("assets")).toInt();
    generator.seed = options.value(QStringLiteral("seed")).toULongLong();
    generator.big_folder_files = options.value(QStringLiteral("big-folder")).toInt();
    const QString data = QDir(options.positionalArguments().first()).absolutePath();
    const QString truth = QFileInfo(data).absolutePath() + QStringLiteral("/truth.tsv");

    QElapsedTimer timer;
    timer.start();
    depsbench::ProjectGenerator project(generator);
    QString error;
    if (!project.write(data, truth, &error)) {
        std::fprintf(stderr, "deps_genproject: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%d assets and %zu true uses written to %s in %.1f s\n", generator.assets, project.edges().size(),
                qPrintable(data), double(timer.elapsed()) / 1000);
    return 0;
}
