#include "mandel_window.h"

namespace quilfen {

// Saving and copying the picture land here.
void MANDEL::MenuFileSave_Click() {}
void MANDEL::MenuEditCopy_Click() {}

}  // namespace quilfen
