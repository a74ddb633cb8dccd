#include "mandel_window.h"
#include "md_calc_cond.h"
#include "platform.h"

#include <memory>

namespace quilfen {

// Opens the conditions dialog modally, with no owner window. Every opening
// loads a new dialog from the shared state, and it is gone once it has
// closed, so nothing of one opening reaches the next. The zoom selection
// opens the dialog through this function too.
void MANDEL::MenuConditionCal_Click()
{
    auto dialog = std::make_unique<MDCalcCond>();
    dialog->Form_Load();
    platform().showModal(*dialog);
}

}  // namespace quilfen
