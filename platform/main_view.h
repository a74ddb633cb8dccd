#pragma once

#include <QString>

class QColor;
class QWidget;

namespace quilfen {

// What the commands started from the main window's menus see of it: the
// picture they clear before computing, the status line they report on, and
// whether the user has closed the window meanwhile. The main window
// implements it; the commands and the conditions dialog receive it.
class MainView {
public:
    // Clears the main picture to the window colour.
    virtual void clearPicture() = 0;

    // Sets the status line's text colour and text and repaints it at once.
    virtual void setStatus(const QString& text, const QColor& colour) = 0;

    // True until the first computation is reported: the status line still
    // shows its text from start-up, so there is no picture to redraw yet.
    virtual bool stillWaiting() const = 0;

    // The user closed the window; the program ends once the command returns.
    virtual bool closed() const = 0;

    // The window that owns the dialogs the commands open.
    virtual QWidget* window() = 0;

protected:
    ~MainView() = default;
};

}  // namespace quilfen
