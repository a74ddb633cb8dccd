#pragma once

// What the window tests start from: fresh engine state, a scripted platform
// (or a subclass with hooks) and a main window. With a folder, the program's
// folder is a temporary one; without, it is the test binary's, where the
// build puts default.qpl and mandel.bmp.

#include "engine/mandel11.h"
#include "platform/scripted_platform.h"
#include "ui/main/mandel_window.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace quilfen::test {

template <class P = ScriptedPlatform>
class WindowFixture {
public:
    std::unique_ptr<P> desktop;
    std::unique_ptr<MANDEL> window;
    std::unique_ptr<QTemporaryDir> folder;

    void start(bool ownFolder = true)
    {
        resetEngineState();
        desktop = std::make_unique<P>();
        if (ownFolder) {
            folder = std::make_unique<QTemporaryDir>();
            desktop->directory = folder->path();
        }
        setPlatform(desktop.get());
        window = std::make_unique<MANDEL>();
    }

    void stop()
    {
        window.reset();
        setPlatform(nullptr);
        desktop.reset();
        folder.reset();
        resetEngineState();
    }

    QString path(const QString& name) const { return folder->filePath(name); }

    // The menu command of that objectName, as the user chooses it.
    void trigger(const char* name)
    {
        QAction* action = window->findChild<QAction*>(QString::fromLatin1(name));
        QVERIFY2(action, name);
        action->trigger();
    }

    // The one message shown, with these texts and kind.
    void verifyOneMessage(const QString& text, const QString& title, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok)
    {
        QCOMPARE(desktop->messages.size(), std::size_t{1});
        const MessageBoxRequest& shown = desktop->messages.front();
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.title, title);
        QCOMPARE(shown.icon, icon);
        QCOMPARE(shown.buttons, buttons);
    }
};

}  // namespace quilfen::test
