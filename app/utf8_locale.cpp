#include "app/utf8_locale.h"

#include <clocale>
#include <cstdlib>
#include <string>

#include <langinfo.h>
#include <locale.h>

namespace quilfen {

void preferUtf8CharacterType()
{
    // The character type's locale as setlocale would read it from the
    // environment: LC_ALL, then LC_CTYPE, then LANG, else "C".
    std::string ctype = "C";
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* value = std::getenv(name); value && *value) {
            ctype = value;
            break;
        }
    }
    if (locale_t current = newlocale(LC_CTYPE_MASK, ctype.c_str(), nullptr)) {
        const std::string codeset = nl_langinfo_l(CODESET, current);
        freelocale(current);
        if (codeset == "UTF-8" || codeset == "utf8")
            return;
    }
    // The same choice as Qt's: the locale without its encoding and variant
    // (de_DE.ISO-8859-1@euro gives de_DE), in UTF-8; else C.UTF-8.
    const std::string base = ctype.substr(0, ctype.find_first_of(".@"));
    std::string chosen;
    for (const std::string& name : {base + ".UTF-8", std::string("C.UTF-8"), std::string("C.utf8")}) {
        if (locale_t candidate = newlocale(LC_CTYPE_MASK, name.c_str(), nullptr)) {
            freelocale(candidate);
            chosen = name;
            break;
        }
    }
    if (chosen.empty())
        return;

    // LC_ALL overrides every category: it is spread over their own
    // variables first, so that LC_CTYPE alone can change.
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        const std::string value = all;
        for (const char* name : {"LC_COLLATE", "LC_MESSAGES", "LC_MONETARY", "LC_NUMERIC", "LC_TIME",
                                 "LC_PAPER", "LC_NAME", "LC_ADDRESS", "LC_TELEPHONE",
                                 "LC_MEASUREMENT", "LC_IDENTIFICATION"})
            setenv(name, value.c_str(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", chosen.c_str(), 1);
}

}  // namespace quilfen
