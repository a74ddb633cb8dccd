#include "ui/about/frm_about.h"

#include "platform/fonts.h"
#include "platform/platform.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <exception>

namespace quilfen {

namespace {

constexpr int kClientWidth = 382;
constexpr int kClientHeight = 184;
constexpr std::uint32_t kValueBufferSize = 1024;

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* addLine(QWidget* parent, int index, const QColor& colour, const QRect& geometry)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setProperty("index", index);
    line->setFrameShape(QFrame::NoFrame);
    line->setGeometry(geometry);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, colour);
    line->setPalette(pal);
    line->setAutoFillBackground(true);
    return line;
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));
    const QIcon icon(QStringLiteral(":/quilfen/quilfen.png"));
    setWindowIcon(icon);
    // A fixed dialog border: no resizing, no minimise, maximise or help button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    setFont(gothicFont(9.0));

    QLabel* picIcon = addLabel(this, "picIcon", QString(), QRect(16, 16, 32, 32));
    picIcon->setPixmap(icon.pixmap(32, 32));

    QLabel* lblTitle = addLabel(this, "lblTitle", QStringLiteral("Quilfen"), QRect(64, 16, 300, 24));
    QFont titleFont = gothicFont(12.0);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);

    addLabel(this, "lblVersion", QStringLiteral("Version 3.0"), QRect(64, 46, 300, 16));
    addLabel(this, "Label1", QStringLiteral("2001/01/15"), QRect(64, 66, 300, 16));

    // An etched separator: a grey line with a white one just below it.
    Line1[0] = addLine(this, 0, QColor(128, 128, 128), QRect(8, 100, kClientWidth - 16, 1));
    Line1[1] = addLine(this, 1, QColor(255, 255, 255), QRect(8, 101, kClientWidth - 16, 1));

    QLabel* lblDisclaimer = addLabel(this, "lblDisclaimer", QStringLiteral("作成: Quilfen 開発チーム"),
                                     QRect(16, 118, 250, 52));
    lblDisclaimer->setWordWrap(true);

    cmdOK = addButton(this, "cmdOK", QStringLiteral("OK"), QRect(282, 114, 88, 26));
    cmdOK->setDefault(true);
    cmdSysInfo = addButton(this, "cmdSysInfo", QStringLiteral("ｼｽﾃﾑ情報"), QRect(282, 146, 88, 26));
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    cmdOK->setFocus();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::cmdOK_Click()
{
    done(QDialog::Accepted);
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    // OK is the cancel button too: Esc presses it (Enter does as the default button).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::StartSysInfo()
{
    try {
        QString path;
        bool found = GetKeyValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoKey),
                                 QString::fromLatin1(kSysInfoValue), path);
        if (!found &&
            GetKeyValue(kHkeyLocalMachine, QString::fromLatin1(kSysInfoLocationKey),
                        QString::fromLatin1(kSysInfoLocationValue), path)) {
            path += QString::fromLatin1(kSysInfoProgramName);
            found = platform().fileExists(path);
        }
        if (found && platform().startProgram(path))
            return;
    } catch (const std::exception&) {
        // Reported below like every other way of not finding the tool.
    }

    MessageBoxRequest message;
    message.text = QStringLiteral("現時点ではｼｽﾃﾑ情報を使用できません");
    platform().messageBox(message);
}

bool frmAbout::GetKeyValue(RegistryKey root, const QString& keyName, const QString& valueName,
                           QString& keyValue)
{
    Registry& registry = platform().registry();
    RegistryKey key = 0;
    std::array<unsigned char, kValueBufferSize> buffer{};
    std::uint32_t size = kValueBufferSize;
    std::uint32_t kind = kRegNone;
    std::int32_t status = registry.openKey(root, keyName, 0, kSysInfoKeyAccess, &key);
    if (status == kErrorSuccess) {
        status = registry.queryValue(key, valueName, &kind, buffer.data(), &size);
        registry.closeKey(key);
    }
    if (status != kErrorSuccess) {
        keyValue.clear();
        return false;
    }
    size = std::min(size, kValueBufferSize);

    // Text ends at the size returned, less its terminating NUL if it has one.
    const std::uint32_t textSize = (size > 0 && buffer[size - 1] == 0) ? size - 1 : size;
    switch (kind) {
    case kRegSz:
        keyValue = QString::fromUtf8(reinterpret_cast<const char*>(buffer.data()),
                                     static_cast<qsizetype>(textSize));
        break;
    case kRegDword: {
        // All bytes of the number, most significant first: a zero top byte
        // still gives its two digits.
        QString text = QStringLiteral("&h");
        for (std::uint32_t i = size; i > 0; --i)
            text += QStringLiteral("%1").arg(buffer[i - 1], 2, 16, QLatin1Char('0')).toUpper();
        keyValue = text;
        break;
    }
    default:
        break;
    }
    return true;
}

}  // namespace quilfen
