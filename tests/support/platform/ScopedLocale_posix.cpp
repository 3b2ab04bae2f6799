#include <clocale>
#include <cstring>
#include <initializer_list>

#include "support/ScopedLocale.h"

ScopedCommaLocale::ScopedCommaLocale() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    std::strncpy(fPrevious, current != nullptr ? current : "C", sizeof fPrevious - 1);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "it_IT.UTF-8", "fr_FR.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            fActive = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
            if (fActive) {
                return;
            }
        }
    }
    std::setlocale(LC_ALL, fPrevious);
}

ScopedCommaLocale::~ScopedCommaLocale() {
    if (fActive) {
        std::setlocale(LC_ALL, fPrevious);
    }
}
