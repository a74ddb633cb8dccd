#pragma once

#include "platform/platform.h"
#include "platform/settings_registry.h"

namespace quilfen {

// The real desktop, through Qt.
class QtPlatform : public Platform {
public:
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

private:
    SettingsRegistry m_registry;  // the file at kSystemRegistryPath
};

}  // namespace quilfen
