#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace quilfen {

// The benchmark's result: the time of one computation, the rate in MFLOPS
// and the speed against the reference machine, from the last run. A fresh
// instance is made for every showing; it fills itself as it is made.
class ResultDialog : public QDialog {
    Q_OBJECT
public:
    explicit ResultDialog(QWidget* parent = nullptr);

    QLabel* LabelTime = nullptr;
    QLabel* LabelFLOPS = nullptr;
    QLabel* LabelGW2k = nullptr;
    QPushButton* OKButton = nullptr;

    // Fills the three figures from CalcSeconds and MflopsText.
    void Form_Load();
    void OKButton_Click();
};

}  // namespace quilfen
