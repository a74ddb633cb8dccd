#pragma once

namespace quilfen {

// Maps the face names the forms ask for ("ＭＳ Ｐゴシック", "Times New Roman")
// onto faces installed on this desktop. Call once after the application exists.
void installFontSubstitutions();

// Loads Qt's own Japanese texts (dialog buttons, file dialogs).
void installJapaneseTranslations();

}  // namespace quilfen
