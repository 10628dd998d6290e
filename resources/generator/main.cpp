// Writes the editor's compiled-in images, the engine data images and the
// sample project's textures and meshes into a repository checkout.

#include "generator.h"

#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <repository root>\n", argv[0]);
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    if (!root.exists(QStringLiteral("resources/editor.qrc"))) {
        std::fprintf(stderr, "%s is not the repository root (no resources/editor.qrc)\n", argv[1]);
        return 2;
    }
    for (const char *font : {"resources/fonts/Roboto-Regular.ttf", "resources/fonts/Roboto-Light.ttf"}) {
        if (QFontDatabase::addApplicationFont(root.filePath(QString::fromLatin1(font))) < 0) {
            std::fprintf(stderr, "cannot load %s\n", font);
            return 1;
        }
    }

    bool ok = gen::writeEditorImages(root.filePath(QStringLiteral("resources/images")));
    ok = gen::writeEngineData(root.filePath(QStringLiteral("resources/engine_data"))) && ok;
    const QString data = root.filePath(QStringLiteral("examples/sample_project/data"));
    ok = gen::writeSampleTextures(data) && ok;
    ok = gen::writeSampleMeshes(data) && ok;
    return ok ? 0 : 1;
}
