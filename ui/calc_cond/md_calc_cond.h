#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quilfen {

class MainView;
class PictureBox;

// The calculation conditions dialog: centre, range and iteration limit,
// with a preview of the square on the whole set. "設定して実行" stores the
// values, computes, draws and reports the time; "設定のみ" closes without
// storing. One instance serves one opening: the opener creates it, calls
// Form_Load, shows it modally and destroys it when it has closed. It clears
// and reports on the main view it is given.
class MDCalcCond : public QDialog {
    Q_OBJECT
public:
    explicit MDCalcCond(MainView& view, QWidget* parent = nullptr);
    ~MDCalcCond() override;

    // Fills the boxes and the working values from CalcCond and MaxIter and
    // draws the preview. Run once, before the dialog is shown.
    void Form_Load();

    // keyAscii: the character code of the key typed (13 for Enter).
    void Text1_KeyPress(int keyAscii);
    void Text2_KeyPress(int keyAscii);
    void Text3_KeyPress(int keyAscii);
    void Text1_LostFocus();
    void Text2_LostFocus();
    void Text3_LostFocus();
    void CmdDefalutSet_Click();
    void CmdCancel_Click();
    void CmdSet_Click();

    // True from Form_Load until the dialog is unloaded by a button or closed.
    bool isLoaded() const { return m_loaded; }

    // The working values: what "設定して実行" stores, at full precision.
    double EditCentreRe = 0.0;
    double EditCentreIm = 0.0;
    double EditRange = 0.0;

    QLineEdit* Text4 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QPushButton* CmdDefalutSet = nullptr;
    QPushButton* CmdCancel = nullptr;
    QPushButton* CmdSet = nullptr;
    PictureBox* RangePict = nullptr;

    // The path of the preview's background picture.
    static QString previewPicturePath();

public slots:
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void ReadCondTexts();
    void DrawRangePict();
    void readAndRedraw();
    void Unload();
    // Handlers run only while the dialog is loaded and not running, so input
    // that arrives while it computes, or after it closed, reaches nothing.
    bool acceptsInput() const { return m_loaded && !m_running; }

    MainView& m_view;
    bool m_loaded = false;
    bool m_running = false;
};

}  // namespace quilfen
