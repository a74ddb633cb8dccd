#include "ui/calc_cond/calc_cond_command.h"

#include "platform/platform.h"
#include "ui/calc_cond/md_calc_cond.h"

#include <memory>

namespace quilfen {

void openConditionsDialog(MainView& view)
{
    auto dialog = std::make_unique<MDCalcCond>(view);
    dialog->Form_Load();
    platform().showModal(*dialog);
}

}  // namespace quilfen
