// kubelmar: the desktop voxelizer. One optional argument, an OBJ file to
// open at start.

#include <QApplication>
#include <QStringList>
#include <QSurfaceFormat>

#include "app/window.h"
#include "view/gl_widget.h"

int main(int argc, char** argv) {
    // The format must be the default before the application object exists,
    // so every context Qt creates (the view's and the window's) shares it.
    QSurfaceFormat::setDefaultFormat(GLWidget::requiredFormat());
    QApplication application(argc, argv);
    // Where QSettings keeps the remembered choices (output formats).
    QCoreApplication::setOrganizationName("Kubelmar");
    QCoreApplication::setApplicationName("kubelmar");
    Window window;
    window.show();
    // Qt has taken its own options out of the argument list.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) window.view()->loadMesh(arguments.at(1));
    return application.exec();
}
