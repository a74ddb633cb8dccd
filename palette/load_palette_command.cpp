#include "mandel_window.h"

#include "mandel11.h"
#include "palette_reader.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <exception>

namespace quilfen {

namespace {

const QChar kCr(13);
const QString kStartupPaletteName = QStringLiteral("default.qpl");

void showError(const QString& text)
{
    MessageBoxRequest message;
    message.text = text;
    message.title = QStringLiteral("Error");
    message.icon = MsgIcon::Critical;
    message.buttons = MsgButtons::Ok;
    platform().messageBox(message);
}

void showBrokenFile()
{
    showError(QStringLiteral("パレットファイルが壊れています。") + kCr +
              QStringLiteral("読み込むことができませんでした。"));
}

// The file that the proposal names. "Default.qpl" differs from the start-up
// file "default.qpl" only in its first letter, which a case-sensitive file
// system does not ignore. So when the proposal is taken as it stands and no
// file has exactly its name, the file in that folder whose name differs only
// in letter case is read instead: the start-up file if it is there,
// otherwise the only such file. Any other choice is read as it is.
QString fileOfProposal(const QString& chosen, const QString& proposed)
{
    const QFileInfo chosenInfo(chosen);
    const QFileInfo proposedInfo(proposed);
    if (chosenInfo.fileName() != proposedInfo.fileName() ||
        chosenInfo.absoluteDir().canonicalPath() != proposedInfo.absoluteDir().canonicalPath() ||
        chosenInfo.exists() || chosenInfo.isSymLink())
        return chosen;

    const QDir folder = chosenInfo.absoluteDir();
    QStringList variants;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.compare(proposedInfo.fileName(), Qt::CaseInsensitive) == 0)
            variants << name;
    }
    if (variants.contains(kStartupPaletteName))
        return folder.filePath(kStartupPaletteName);
    if (variants.size() == 1)
        return folder.filePath(variants.front());
    return chosen;
}

}  // namespace

void MANDEL::MenuEditPal_Click()
{
    FileDialogRequest dialog;
    dialog.proposedPath = platform().programDirectory() + QStringLiteral("/Default.qpl");
    dialog.flags = kOfnHideReadOnly;
    dialog.filter = QStringLiteral("Quilfen Palette File(.qpl)|*.qpl");
    dialog.filterIndex = 1;
    const std::optional<QString> chosen = platform().openFileDialog(dialog);
    if (!chosen || chosen->isEmpty())
        return;
    const QString path = fileOfProposal(*chosen, dialog.proposedPath);

    // Anything that goes wrong from the read to the end of the redraw is
    // reported as a broken file; the table keeps what was read before it.
    try {
        switch (ReadPaletteFile(QFile::encodeName(path).toStdString())) {
        case PaletteReadResult::OpenFailed:
            return;
        case PaletteReadResult::NotPalette:
            showError(QStringLiteral("これはパレットファイルではありません。"));
            return;
        case PaletteReadResult::Broken:
            showBrokenFile();
            return;
        case PaletteReadResult::Loaded:
            break;
        }

        // The status line keeps its first text until something is computed:
        // only then is there a picture to redraw.
        if (Label1->text() == QStringLiteral("待機中です")) {
            MessageBoxRequest done;
            done.text = QStringLiteral("パレットファイルを読み込みました");
            done.title = QStringLiteral("完了");
            done.icon = MsgIcon::Information;
            done.buttons = MsgButtons::Ok;
            platform().messageBox(done);
            return;
        }

        MessageBoxRequest question;
        question.text = QStringLiteral("パレットファイルを読み込みました。") + kCr +
                        QStringLiteral("再描画しますか？ ");
        question.title = QStringLiteral("再描画しますか？");
        question.icon = MsgIcon::Question;
        question.buttons = MsgButtons::YesNo;
        question.defaultButton = MsgAnswer::Yes;
        if (platform().messageBox(question) == MsgAnswer::Yes)
            DrawMandel();
    } catch (const std::exception&) {
        showBrokenFile();
    }
}

}  // namespace quilfen
