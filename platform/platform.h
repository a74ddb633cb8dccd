#pragma once

// The one door to the desktop and the operating system. Every message box,
// file dialog, modal form, clipboard use, tick reading, program launch and
// registry read of the program goes through the Platform installed here, so
// tests can replace it with a scripted double that never blocks.

#include "platform/registry.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

class QDialog;

namespace quilfen {

enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgIcon { None, Critical, Question, Information };
enum class MsgAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QString text;
    QString title;  // empty: the application's title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    MsgAnswer defaultButton = MsgAnswer::Ok;
};

// Common-dialog flags, with the values the file commands pass.
inline constexpr unsigned kOfnOverwritePrompt = 0x2;
inline constexpr unsigned kOfnPathMustExist = 0x800;
inline constexpr unsigned kOfnNoReadOnlyReturn = 0x8000;

struct FileDialogRequest {
    QString proposedPath;  // full path of the proposed file
    QString filter;        // "Description|pattern", empty for all files
    int filterIndex = 0;
    unsigned flags = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // Modal message box; returns the button pressed.
    virtual MsgAnswer messageBox(const MessageBoxRequest& request) = 0;

    // Modal file dialogs: the chosen full path, or nullopt when cancelled.
    virtual std::optional<QString> openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileDialog(const FileDialogRequest& request) = 0;

    // Writes the image as a BMP file; false (with a reason) when it fails.
    // A failed write leaves an existing file at the path untouched.
    virtual bool savePicture(const QImage& image, const QString& path, QString* error) = 0;

    // Puts the image on the clipboard as a bitmap.
    virtual void setClipboardImage(const QImage& image) = 0;

    // Milliseconds since system start; wraps around every 2^32 ms.
    virtual std::uint32_t tickCount() = 0;

    // Processes the waiting window events once, then returns.
    virtual void doEvents() = 0;

    // Handles the waiting paint and expose events once, then returns. Input
    // (menu, key and mouse events) stays queued for later.
    virtual void repaintWindows() = 0;

    // Sleeps about `ms` milliseconds, handling paint and expose events as
    // repaintWindows does whenever they arrive meanwhile. May return early.
    virtual void sleepRepainting(std::uint32_t ms) = 0;

    // Shows a form modally; returns when it has been hidden or closed.
    virtual int showModal(QDialog& form) = 0;

    // Folder of the program file, without a trailing separator.
    virtual QString programDirectory() = 0;

    // Whether a normal file of that name exists.
    virtual bool fileExists(const QString& path) = 0;

    // Starts another program without waiting for it; false if it cannot start.
    virtual bool startProgram(const QString& path) = 0;

    // The system registry (on Linux a settings file standing in for it).
    virtual Registry& registry() = 0;

    // Ends the program: no later command runs.
    virtual void endProgram(int exitCode) = 0;
};

// Waits until the tick count reads at least `ms` after the reading `start`
// and returns that first reading. Windows are repainted meanwhile but no
// input is handled; the wait sleeps through all but its last few
// milliseconds (kPolledMs), which it polls.
std::uint32_t waitTicks(std::uint32_t start, std::uint32_t ms);

// Shows text in the program's error box (title "Error", a stop sign, OK).
void showErrorBox(const QString& text);

// The platform in use; the application installs the Qt one at start-up,
// tests install a scripted one.
Platform& platform();
void setPlatform(Platform* platform);

}  // namespace quilfen
