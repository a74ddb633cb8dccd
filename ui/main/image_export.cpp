#include "ui/main/mandel_window.h"

#include "platform/picture_box.h"
#include "platform/platform.h"

namespace quilfen {

void MANDEL::MenuFileSave_Click()
{
    // Proposed afresh every time, so the dialog never remembers the last name.
    // No filter and no default extension: a name typed without one is used as typed.
    FileDialogRequest dialog;
    dialog.proposedPath = platform().programDirectory() + QStringLiteral("/manimg.bmp");
    dialog.flags = kOfnOverwritePrompt | kOfnPathMustExist | kOfnNoReadOnlyReturn;
    const std::optional<QString> chosen = platform().saveFileDialog(dialog);
    if (!chosen || chosen->isEmpty())
        return;

    // The writer replaces an existing file only once the new one is complete.
    if (platform().savePicture(Picture1->image(), *chosen, nullptr))
        return;
    showErrorBox(QStringLiteral("書き込みに失敗しました"));
}

void MANDEL::MenuEditCopy_Click()
{
    platform().setClipboardImage(Picture1->image());
}

}  // namespace quilfen
