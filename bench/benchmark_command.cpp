#include "mandel_window.h"

namespace quilfen {

// The benchmark run lands here.
void MANDEL::MenuBenchGo_Click() {}

}  // namespace quilfen
