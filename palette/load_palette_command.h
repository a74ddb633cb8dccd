#pragma once

namespace quilfen {

class MainView;

// The palette menu command: asks for a palette table file, reads it into
// the colour table and offers to redraw the picture in the new colours.
void chooseAndLoadPalette(MainView& view);

}  // namespace quilfen
