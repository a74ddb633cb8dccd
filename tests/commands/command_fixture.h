#pragma once

// What every command test starts from: fresh engine state, a scripted
// platform whose program folder is a temporary folder, and a main window.

#include "mandel11.h"
#include "mandel_window.h"
#include "picture_box.h"
#include "scripted_platform.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace quilfen::test {

class CommandFixture {
public:
    std::unique_ptr<ScriptedPlatform> desktop;
    std::unique_ptr<MANDEL> window;
    std::unique_ptr<QTemporaryDir> folder;

    void start()
    {
        resetEngineState();
        folder = std::make_unique<QTemporaryDir>();
        desktop = std::make_unique<ScriptedPlatform>();
        desktop->directory = folder->path();
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
};

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace quilfen::test
