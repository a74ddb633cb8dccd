#include "mandel_window.h"

#include "frm_about.h"
#include "platform.h"

namespace quilfen {

void MANDEL::MenuHelpAbout_Click()
{
    // Loaded afresh at each opening and unloaded when it closes.
    frmAbout form(this);
    platform().showModal(form);
}

}  // namespace quilfen
