// Quilfen: draws the Mandelbrot set and measures floating-point speed.

#include "fonts.h"
#include "mandel_window.h"
#include "qt_platform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quilfen"));
    QApplication::setApplicationVersion(QStringLiteral("3.00"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quilfen"));

    quilfen::QtPlatform desktop;
    quilfen::setPlatform(&desktop);
    quilfen::installFontSubstitutions();
    quilfen::installJapaneseTranslations();

    quilfen::MANDEL window;
    if (!window.Form_Load())
        return 1;
    window.show();
    return QApplication::exec();
}
