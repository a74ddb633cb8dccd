// Quilfen: draws the Mandelbrot set and measures floating-point speed.

#include "fonts.h"
#include "mandel_window.h"
#include "qt_platform.h"

#include <QApplication>

#include <csignal>

int main(int argc, char* argv[])
{
    // Under a file size limit (ulimit -f) a save fails with its message
    // instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quilfen"));
    QApplication::setApplicationVersion(QStringLiteral("3.00"));
    // No application display name: Qt would append it to every window title.

    quilfen::QtPlatform desktop;
    quilfen::setPlatform(&desktop);
    quilfen::installFontSubstitutions();
    quilfen::installJapaneseTranslations();

    // The window is shown only once its start-up state and colour table are
    // in place; a table that cannot be read ends the program unseen.
    quilfen::MANDEL window;
    if (!quilfen::startMainWindow(window))
        return 1;
    return QApplication::exec();
}
