#include "mandel_window.h"

namespace quilfen {

// The zoom selection with the mouse lands here.
void MANDEL::Picture1_MouseDown(int, int, float, float) {}
void MANDEL::Picture1_MouseMove(int, int, float, float) {}
void MANDEL::Picture1_MouseUp(int, int, float, float) {}

}  // namespace quilfen
