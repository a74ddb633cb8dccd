#pragma once

class QWidget;

namespace quilfen {

// The help menu command: shows the about box modally over owner.
void showAboutBox(QWidget* owner);

}  // namespace quilfen
