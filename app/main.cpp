// Quilfen: draws the Mandelbrot set and measures floating-point speed.

#include "app/utf8_locale.h"
#include "platform/fonts.h"
#include "platform/qt_platform.h"
#include "ui/main/mandel_window.h"

#include <QApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Whether Qt has somewhere to open the window: an X or Wayland display, or
// a platform plugin named in the environment or on the command line.
bool displayNamed(int argc, char* argv[])
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return std::any_of(argv + 1, argv + argc, [](const char* argument) {
        return std::strcmp(argument, "-platform") == 0 || std::strcmp(argument, "--platform") == 0;
    });
}

}  // namespace

int main(int argc, char* argv[])
{
    // Without a display Qt aborts inside QApplication with advice to
    // reinstall, which is not the cause.
    if (!displayNamed(argc, argv)) {
        std::fputs("quilfen: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
                   "not set); start it from a desktop session, or use quilfen-cli for work "
                   "without a desktop\n",
                   stderr);
        return 1;
    }

    // Under a file size limit (ulimit -f) a save fails with its message
    // instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Qt would switch a C or POSIX locale's character type to UTF-8 itself,
    // with a warning on standard error.
    quilfen::preferUtf8CharacterType();
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
