#pragma once

#include "platform/registry.h"

#include <QDialog>

#include <array>

class QFrame;
class QPushButton;

namespace quilfen {

// Where the system information tool is found: the full path under location 1,
// else the folder under location 2 joined with kSysInfoProgramName.
inline constexpr char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kSysInfoValue[] = "PATH";
inline constexpr char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kSysInfoLocationValue[] = "MSINFO";
// HardInfo, the usual graphical system information tool of Linux desktops.
inline constexpr char kSysInfoProgramName[] = "/hardinfo";

// Rights the key lookup asks for: read control and every value and subkey
// right.
inline constexpr std::uint32_t kSysInfoKeyAccess = kReadControl | kKeyQueryValue | kKeySetValue |
                                                   kKeyCreateSubKey | kKeyEnumerateSubKeys |
                                                   kKeyNotify | kKeyCreateLink;

// The about box: title, version, date, and a button that starts the
// system information tool. Every text is fixed here; nothing is set at run time.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    std::array<QFrame*, 2> Line1{};  // 0: grey, 1: white below it
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    void cmdSysInfo_Click();
    void cmdOK_Click();

    // Starts the system information tool, or says that it is not available.
    void StartSysInfo();

    // Reads one value under root\keyName. Text values become the text, 32-bit
    // numbers "&h" and eight hexadecimal digits; other kinds leave keyValue
    // as passed. False, with keyValue empty, when the key cannot be opened
    // with kSysInfoKeyAccess or the value cannot be read into 1024 bytes.
    bool GetKeyValue(RegistryKey root, const QString& keyName, const QString& valueName,
                     QString& keyValue);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace quilfen
