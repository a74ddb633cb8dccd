#include "mandel_window.h"

namespace quilfen {

// The about box lands here.
void MANDEL::MenuHelpAbout_Click() {}

}  // namespace quilfen
