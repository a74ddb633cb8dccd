#include "palette/load_palette_command.h"

#include "engine/mandel11.h"
#include "palette/palette_reader.h"
#include "platform/main_view.h"
#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace quilfen {

namespace {

const QChar kCr(13);

void showBrokenFile()
{
    showErrorBox(QStringLiteral("パレットファイルが壊れています。") + kCr +
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

    // A name filter ignores letter case unless told otherwise.
    const QDir folder = chosenInfo.absoluteDir();
    const QStringList variants =
        folder.entryList({proposedInfo.fileName()}, QDir::Files | QDir::Hidden | QDir::System);
    const QString startupName = QString::fromLatin1(kStartupPaletteName);
    if (variants.contains(startupName))
        return folder.filePath(startupName);
    if (variants.size() == 1)
        return folder.filePath(variants.front());
    return chosen;
}

}  // namespace

void chooseAndLoadPalette(MainView& view)
{
    FileDialogRequest dialog;
    dialog.proposedPath = platform().programDirectory() + QStringLiteral("/Default.qpl");
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
            showErrorBox(QStringLiteral("これはパレットファイルではありません。"));
            return;
        case PaletteReadResult::Broken:
            showBrokenFile();
            return;
        case PaletteReadResult::Loaded:
            break;
        }

        // Until something is computed there is no picture to redraw.
        if (view.stillWaiting()) {
            platform().messageBox({.text = QStringLiteral("パレットファイルを読み込みました"),
                                   .title = QStringLiteral("完了"),
                                   .icon = MsgIcon::Information});
            return;
        }

        const MessageBoxRequest question{
            .text = QStringLiteral("パレットファイルを読み込みました。") + kCr + QStringLiteral("再描画しますか？ "),
            .title = QStringLiteral("再描画しますか？"),
            .buttons = MsgButtons::YesNo,
            .icon = MsgIcon::Question,
            .defaultButton = MsgAnswer::Yes};
        if (platform().messageBox(question) == MsgAnswer::Yes)
            DrawMandel();
    } catch (const std::exception&) {
        showBrokenFile();
    }
}

}  // namespace quilfen
