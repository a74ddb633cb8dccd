#include "mandel_window.h"

namespace quilfen {

// The calculation conditions dialog lands here.
void MANDEL::MenuConditionCal_Click() {}

}  // namespace quilfen
