#include "ui/about/about_command.h"

#include "platform/platform.h"
#include "ui/about/frm_about.h"

namespace quilfen {

void showAboutBox(QWidget* owner)
{
    // Loaded afresh at each opening and unloaded when it closes.
    frmAbout form(owner);
    platform().showModal(form);
}

}  // namespace quilfen
