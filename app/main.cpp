// kubelmar: the desktop voxelizer. One optional argument, a mesh file to
// open at start; --help and --version answer on stdout and exit.

#include <QApplication>
#include <QStringList>
#include <QSurfaceFormat>
#include <cstdio>
#include <cstring>

#include "app/window.h"
#include "view/gl_widget.h"

namespace {

const char kUsage[] =
    "Usage: kubelmar [OPTION]... [MESH_FILE]\n"
    "The Kubelmar desktop voxelizer: shows a mesh and saves it as voxels.\n"
    "MESH_FILE (OBJ, STL, PLY, glTF/GLB, 3MF or OFF) is opened at start.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "Qt's own options (-platform, -display ...) are taken as well.\n"
    "For voxelizing without a window, see kubelmar-cli --help.\n";

// Answers --help and --version before the application object exists, so
// they work without a display. Returns -1 to go on, else the exit code.
int answerInfoOptions(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--") == 0) break;
        if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(arg, "-v") == 0 || std::strcmp(arg, "--version") == 0) {
            std::printf("kubelmar %s\n", KUBELMAR_VERSION);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int code = answerInfoOptions(argc, argv); code >= 0) return code;
    // The format must be the default before the application object exists,
    // so every context Qt creates (the view's and the window's) shares it.
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    // Where QSettings keeps the remembered choices (output formats, mode, size).
    QCoreApplication::setOrganizationName("Kubelmar");
    QCoreApplication::setApplicationName("kubelmar");

    // Qt has taken its own options out of the argument list.
    QStringList arguments = QApplication::arguments().mid(1);
    if (!arguments.isEmpty() && arguments.first() == QLatin1String("--")) arguments.removeFirst();
    else if (!arguments.isEmpty() && arguments.first().startsWith('-')) {
        std::fprintf(stderr, "kubelmar: unknown option %s\nTry 'kubelmar --help'.\n", qPrintable(arguments.first()));
        return 2;
    }
    if (arguments.size() > 1) {
        std::fprintf(stderr, "kubelmar: one mesh file at most\nTry 'kubelmar --help'.\n");
        return 2;
    }
    Window window;
    window.show();
    if (!arguments.isEmpty()) window.openFile(arguments.first());
    return application.exec();
}
