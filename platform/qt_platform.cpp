#include "platform/qt_platform.h"

#include "platform/image/bmp_writer.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

namespace quilfen {

namespace {

QMessageBox::StandardButton toStandardButton(MsgAnswer answer)
{
    switch (answer) {
    case MsgAnswer::Ok: return QMessageBox::Ok;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

// "Description|pattern|Description|pattern" into Qt's "Description (pattern);;…".
QStringList toNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        result << QStringLiteral("%1 (%2)").arg(parts[i], parts[i + 1]);
    return result;
}

// Shows the dialog set up as the request asks: the chosen full path, or
// nullopt when cancelled.
std::optional<QString> runFileDialog(QFileDialog& dialog, const FileDialogRequest& request,
                                     QFileDialog::AcceptMode mode)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    const QFileInfo proposed(request.proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    // A file type shows as its description alone, "Quilfen Palette File(.qpl)",
    // and lists the files of its pattern; Qt would add " (*.qpl)" to the name.
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    const QStringList filters = toNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = std::max(request.filterIndex, 1) - 1;
        if (index < filters.size())
            dialog.selectNameFilter(filters[index]);
    }
    dialog.setAcceptMode(mode);
    // Without the "file must exist" flag a typed name of a missing file is accepted.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

// A save dialog that refuses, while it stays open, a folder that does not
// exist or a file that cannot be written, as the flags ask; the overwrite
// question comes after these checks, from Qt's own accept().
class CheckedSaveDialog : public QFileDialog {
public:
    explicit CheckedSaveDialog(unsigned flags) : m_flags(flags) {}

    void accept() override
    {
        const QStringList files = selectedFiles();
        const QString refusal = files.isEmpty() ? QString() : refusalOf(files.constFirst());
        if (refusal.isEmpty())
            QFileDialog::accept();
        else
            QMessageBox::warning(this, windowTitle(), refusal);
    }

private:
    QString refusalOf(const QString& chosen) const
    {
        const QFileInfo info(chosen);
        if (info.isDir())
            return QString();  // Qt's accept() opens the folder instead
        const QFileInfo folder(info.absolutePath());
        if ((m_flags & kOfnPathMustExist) && !folder.isDir())
            return QObject::tr("フォルダ %1 が見つかりません。")
                .arg(QDir::toNativeSeparators(folder.filePath()));
        if ((m_flags & kOfnNoReadOnlyReturn) &&
            ((info.exists() && !info.isWritable()) || (!info.exists() && !folder.isWritable())))
            return QObject::tr("%1 は読み取り専用です。").arg(QDir::toNativeSeparators(chosen));
        return QString();
    }

    unsigned m_flags;
};

}  // namespace

MsgAnswer QtPlatform::messageBox(const MessageBoxRequest& request)
{
    QMessageBox box;
    box.setText(request.text);
    box.setWindowTitle(request.title.isEmpty() ? QApplication::applicationName() : request.title);
    switch (request.icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    }
    switch (request.buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    }
    box.setDefaultButton(toStandardButton(request.defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    default: return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    }
}

std::optional<QString> QtPlatform::openFileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog;
    return runFileDialog(dialog, request, QFileDialog::AcceptOpen);
}

std::optional<QString> QtPlatform::saveFileDialog(const FileDialogRequest& request)
{
    CheckedSaveDialog dialog(request.flags);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & kOfnOverwritePrompt) == 0);
    return runFileDialog(dialog, request, QFileDialog::AcceptSave);
}

bool QtPlatform::savePicture(const QImage& image, const QString& path, QString* error)
{
    return writeBmpAtomically(image, QFile::encodeName(path), error);
}

void QtPlatform::setClipboardImage(const QImage& image)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(image);
}

std::uint32_t QtPlatform::tickCount()
{
    using namespace std::chrono;
    // The steady clock reads CLOCK_MONOTONIC, which counts from system start.
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

void QtPlatform::doEvents()
{
    QCoreApplication::processEvents();
}

// Input is left queued: a menu, key or mouse event handled here would start
// a command inside the running one. Paints, exposes, Qt's own pending
// repaints and timers are handled; a window manager delivers the exposes
// that a closed dialog or menu leaves a few milliseconds after it closed.
void QtPlatform::repaintWindows()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtPlatform::sleepRepainting(std::uint32_t ms)
{
    // Blocks in the event loop until an event arrives or the timer wakes it
    // at the deadline; the timer is set again for what is left after every
    // event, so the loop never blocks past the deadline.
    const QDeadlineTimer deadline(static_cast<qint64>(ms), Qt::PreciseTimer);
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    for (qint64 left = ms; left > 0; left = deadline.remainingTime()) {
        wake.start(static_cast<int>(left));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::WaitForMoreEvents);
    }
}

int QtPlatform::showModal(QDialog& form)
{
    return form.exec();
}

QString QtPlatform::programDirectory()
{
    return QCoreApplication::applicationDirPath();
}

bool QtPlatform::fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Only an absolute path to a regular file that may be executed is started: a
// bare or relative name is never looked up through $PATH or the current folder.
bool QtPlatform::startProgram(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    return path.startsWith(QLatin1Char('/')) && ::stat(native.constData(), &info) == 0 &&
           S_ISREG(info.st_mode) && ::access(native.constData(), X_OK) == 0 &&
           QProcess::startDetached(path, {});
}

Registry& QtPlatform::registry()
{
    return m_registry;
}

void QtPlatform::endProgram(int exitCode)
{
    QApplication::closeAllWindows();
    QCoreApplication::exit(exitCode);
}

}  // namespace quilfen
