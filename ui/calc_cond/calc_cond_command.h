#pragma once

namespace quilfen {

class MainView;

// Opens the conditions dialog modally, with no owner window. Every opening
// loads a new dialog from the shared state, and it is gone once it has
// closed, so nothing of one opening reaches the next.
void openConditionsDialog(MainView& view);

}  // namespace quilfen
