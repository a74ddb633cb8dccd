#include "mandel_window.h"

namespace quilfen {

// Loading a palette from the menu lands here.
void MANDEL::MenuEditPal_Click() {}

}  // namespace quilfen
