#include "platform/scripted_platform.h"

#include "platform/image/bmp_writer.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QFileInfo>

namespace quilfen {

namespace {
std::optional<QString> takeAnswer(QStringList& answers)
{
    const QString answer = answers.isEmpty() ? QString() : answers.takeFirst();
    if (answer.isNull())
        return std::nullopt;
    return answer;
}
}  // namespace

MsgAnswer ScriptedPlatform::messageBox(const MessageBoxRequest& request)
{
    messages.push_back(request);
    if (messageAnswers.empty())
        return request.defaultButton;
    const MsgAnswer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

std::optional<QString> ScriptedPlatform::openFileDialog(const FileDialogRequest& request)
{
    openRequests.push_back(request);
    return takeAnswer(openAnswers);
}

std::optional<QString> ScriptedPlatform::saveFileDialog(const FileDialogRequest& request)
{
    saveRequests.push_back(request);
    return takeAnswer(saveAnswers);
}

bool ScriptedPlatform::savePicture(const QImage& image, const QString& path, QString* error)
{
    savedPaths << path;
    return writeBmpAtomically(image, QFile::encodeName(path), error);
}

void ScriptedPlatform::setClipboardImage(const QImage& image)
{
    clipboard = image;
    ++clipboardSets;
}

std::uint32_t ScriptedPlatform::tickCount()
{
    ++tickReadings;
    if (onTick)
        return onTick();
    const std::uint32_t now = ticks;
    ticks += tickStep;
    return now;
}

void ScriptedPlatform::doEvents()
{
    ++doEventsCalls;
    if (onDoEvents)
        onDoEvents();
}

void ScriptedPlatform::repaintWindows()
{
    ++repaintCalls;
    if (onRepaint)
        onRepaint();
}

void ScriptedPlatform::sleepRepainting(std::uint32_t ms)
{
    sleeps.push_back(ms);
    if (!onTick)
        ticks += ms;
    repaintWindows();
}

int ScriptedPlatform::showModal(QDialog& form)
{
    modalForms << form.objectName();
    const auto handler = modalHandlers.find(form.objectName());
    if (handler == modalHandlers.end())
        return QDialog::Rejected;
    return handler->second(form);
}

QString ScriptedPlatform::programDirectory()
{
    return directory.isEmpty() ? QCoreApplication::applicationDirPath() : directory;
}

bool ScriptedPlatform::fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool ScriptedPlatform::startProgram(const QString& path)
{
    startedPrograms << path;
    return startSucceeds;
}

Registry& ScriptedPlatform::registry()
{
    return registryCalls;
}

void ScriptedPlatform::endProgram(int exitCode)
{
    endRequests.push_back(exitCode);
}

}  // namespace quilfen
