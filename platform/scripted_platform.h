#pragma once

#include "platform/platform.h"
#include "platform/recording_registry.h"
#include "platform/scripted_registry.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace quilfen {

// Test double: records every call and answers from a script, so no test
// ever blocks on a modal window or waits in real time.
class ScriptedPlatform : public Platform {
public:
    // Message boxes: answered in order; an empty script answers the default button.
    std::deque<MsgAnswer> messageAnswers;
    std::vector<MessageBoxRequest> messages;

    // File dialogs: answered in order; an empty script, or a null QString
    // in it, is a cancel.
    QStringList openAnswers;
    QStringList saveAnswers;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;

    // Saving: through the real atomic BMP writer.
    QStringList savedPaths;

    QImage clipboard;
    int clipboardSets = 0;

    // Tick count under the test's control: each reading returns `ticks` and
    // then advances it by `tickStep`, so busy waits end. onTick, if set,
    // replaces this and is called on every reading.
    std::uint32_t ticks = 0;
    std::uint32_t tickStep = 1;
    std::function<std::uint32_t()> onTick;
    int tickReadings = 0;

    int doEventsCalls = 0;
    std::function<void()> onDoEvents;

    // Repaints handled (repaintWindows and each sleep), and the sleeps asked
    // for in ms. A sleep returns at once; without onTick it moves `ticks` on
    // by its length, as the time passes that a real sleep lets pass.
    int repaintCalls = 0;
    std::function<void()> onRepaint;
    std::vector<std::uint32_t> sleeps;

    // Modal forms: the handler registered for the form's objectName runs
    // while the form is "shown" (it may click its buttons); without one the
    // form is closed at once, as by the window's close control.
    std::map<QString, std::function<int(QDialog&)>> modalHandlers;
    QStringList modalForms;

    QString directory;  // programDirectory(); empty: the test binary's folder

    bool startSucceeds = true;
    QStringList startedPrograms;

    // The registry: filled by the test; registryCalls, which the program
    // sees, records every open, query and close made on it.
    ScriptedRegistry fakeRegistry;
    RecordingRegistry registryCalls{fakeRegistry};

    std::vector<int> endRequests;

    MsgAnswer messageBox(const MessageBoxRequest& request) override;
    std::optional<QString> openFileDialog(const FileDialogRequest& request) override;
    std::optional<QString> saveFileDialog(const FileDialogRequest& request) override;
    bool savePicture(const QImage& image, const QString& path, QString* error) override;
    void setClipboardImage(const QImage& image) override;
    std::uint32_t tickCount() override;
    void doEvents() override;
    void repaintWindows() override;
    void sleepRepainting(std::uint32_t ms) override;
    int showModal(QDialog& form) override;
    QString programDirectory() override;
    bool fileExists(const QString& path) override;
    bool startProgram(const QString& path) override;
    Registry& registry() override;
    void endProgram(int exitCode) override;
};

}  // namespace quilfen
