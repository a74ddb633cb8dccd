#pragma once

class QFont;

namespace quilfen {

// The two faces the forms are designed in, at a size in points.
QFont gothicFont(double points);  // "ＭＳ Ｐゴシック", every caption and box
QFont romanFont(double points);   // "Times New Roman", the benchmark's figures

// Maps the face names the forms ask for ("ＭＳ Ｐゴシック", "Times New Roman")
// onto faces installed on this desktop. Call once after the application exists.
void installFontSubstitutions();

// Loads Qt's own Japanese texts (dialog buttons, file dialogs).
void installJapaneseTranslations();

}  // namespace quilfen
