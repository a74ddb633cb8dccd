#pragma once

namespace quilfen {

// Qt takes the locale from the environment when the application object is
// made and, where its character encoding is not UTF-8 (the C or POSIX locale
// of a container, of CI, of many ssh sessions), switches the character type
// (LC_CTYPE) to a UTF-8 locale itself, with a warning on standard error.
// Called before the application object is made, this makes the same switch
// in the environment, silently: LC_CTYPE names the UTF-8 form of the
// character type's locale (or C.UTF-8), and every other category keeps what
// the environment gave it, the numbers' LC_NUMERIC included. Nothing changes
// where the character type is UTF-8 already or no UTF-8 locale exists.
void preferUtf8CharacterType();

}  // namespace quilfen
