#include "about_command.h"

#include "frm_about.h"
#include "platform.h"

namespace quilfen {

void showAboutBox(QWidget* owner)
{
    // Loaded afresh at each opening and unloaded when it closes.
    frmAbout form(owner);
    platform().showModal(form);
}

}  // namespace quilfen
