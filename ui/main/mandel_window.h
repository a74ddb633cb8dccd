#pragma once

#include "platform/main_view.h"

#include <QMainWindow>

class QLabel;

namespace quilfen {

class PictureBox;

// The main window: the picture, the status line and the menu bar from
// which every command starts. One instance lives for the whole run. The
// commands see it as a MainView.
class MANDEL : public QMainWindow, public MainView {
    Q_OBJECT
public:
    explicit MANDEL(QWidget* parent = nullptr);
    ~MANDEL() override;

    // Sets the start-up state and reads default.qpl. Returns false when the
    // table could not be read: the error has been shown and the program ends.
    bool Form_Load();

    PictureBox* Picture1 = nullptr;
    QLabel* Label1 = nullptr;

    void MenuEditPal_Click();
    void MenuFileSave_Click();
    void MenuFileEnd_Click();
    void MenuEditCopy_Click();
    void MenuConditionCal_Click();
    void MenuBenchGo_Click();
    void MenuHelpAbout_Click();

    void Picture1_MouseDown(int button, int shift, float x, float y);
    void Picture1_MouseMove(int button, int shift, float x, float y);
    void Picture1_MouseUp(int button, int shift, float x, float y);

    // MainView. The status line's frame stays black whatever its text colour.
    void clearPicture() override;
    void setStatus(const QString& text, const QColor& colour) override;
    bool stillWaiting() const override;
    bool closed() const override { return m_closed; }
    QWidget* window() override { return this; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool m_closed = false;  // the window has been closed; the program is ending
};

// Start-up: runs the window's Form_Load and shows the window. Returns false,
// leaving the window hidden, when the program must end instead.
bool startMainWindow(MANDEL& window);

}  // namespace quilfen
