#include "bench/result_dialog.h"

#include "bench/benchmark_figures.h"
#include "bench/instruction_set_name.h"
#include "engine/escape_time.h"
#include "engine/mandel11.h"
#include "platform/fonts.h"

#include <QLabel>
#include <QPushButton>

namespace quilfen {

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 224;

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font,
                  const QRect& geometry, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setGeometry(geometry);
    label->setAlignment(alignment);
    return label;
}

// "MFLOPS" and how this build computes: the instruction set by the name
// users know ("AVX-512", not the vector library's "AVX3") and the threads.
QString rateUnit()
{
    const std::string name = engineInstructionSetName();
    return QStringLiteral("MFLOPS (%1, %2 スレッド)")
        .arg(name.empty() ? QStringLiteral("SIMD なし") : QString::fromStdString(name))
        .arg(engineThreads());
}

}  // namespace

ResultDialog::ResultDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ResultDialog"));
    setWindowTitle(QStringLiteral("ベンチマーク結果"));
    setFixedSize(kWidth, kHeight);

    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;

    const QFont caption = gothicFont(14.25);
    const QFont figure = romanFont(18.0);
    const QFont smallCaption = gothicFont(11.25);

    // Captions on the left, figures right-aligned in one column, units to their
    // right. Only the figures change once the dialog is made.
    makeLabel(this, "Label1", QStringLiteral("計算時間："), caption, QRect(16, 16, 104, 32), left);
    LabelTime = makeLabel(this, "LabelTime", QStringLiteral("0.00"), figure, QRect(112, 16, 128, 32), right);
    makeLabel(this, "Label6", QStringLiteral("sec"), caption, QRect(248, 16, 60, 32), left);
    makeLabel(this, "Label3", QStringLiteral("演算性能："), caption, QRect(16, 56, 104, 32), left);
    LabelFLOPS = makeLabel(this, "LabelFLOPS", QStringLiteral("0.00"), figure, QRect(112, 88, 128, 32),
                           right);
    makeLabel(this, "Label5", rateUnit(), smallCaption, QRect(248, 88, 216, 32), left);
    LabelGW2k = makeLabel(this, "LabelGW2k", QStringLiteral("0.00"), figure, QRect(112, 124, 128, 48), right);
    QLabel* reference = makeLabel(this, "Label8", QString::fromUtf8(kReferenceMachineCaption),
                                  smallCaption, QRect(248, 124, 216, 48), Qt::AlignCenter);
    reference->setWordWrap(true);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry((kWidth - 96) / 2, 184, 96, 28);
    OKButton->setDefault(true);
    OKButton->setFocus();
    connect(OKButton, &QPushButton::clicked, this, &ResultDialog::OKButton_Click);

    Form_Load();
}

void ResultDialog::Form_Load()
{
    if (BenchInvalid) {
        // Wrong counts: every figure says so, in red, instead of a number.
        const QString invalid = QString::fromUtf8(kInvalidFigure);
        for (QLabel* figure : {LabelTime, LabelFLOPS, LabelGW2k}) {
            figure->setText(invalid);
            QPalette red = figure->palette();
            red.setColor(QPalette::WindowText, QColor(255, 0, 0));
            figure->setPalette(red);
        }
        return;
    }
    LabelTime->setText(QString::fromStdString(secondsText(CalcSeconds)));
    LabelFLOPS->setText(QString::fromStdString(MflopsText));
    LabelGW2k->setText(QString::fromStdString(ratioText(CalcSeconds)));
}

void ResultDialog::OKButton_Click()
{
    accept();
}

}  // namespace quilfen
