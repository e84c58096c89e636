// The program's texts in the user's language. Every text a user reads is
// written in English where it is used, marked for the catalogue as Tr("..."),
// TrPlural("...", "...", n) or, in a table translated where it is shown,
// TR_MARK("..."); po/ holds the translations. Arguments go in by position
// (%1, %2, through Fill), so a translation can put them in its own order.
#pragma once

#include <string>
#include <vector>

// A text for the catalogue, translated where it is shown.
#define TR_MARK(text) text

namespace platform {

// Takes the user's language for the texts (the locale's messages on Linux,
// the user's interface language on Windows); English where the catalogue
// has no translation. Before it, every text is its English. Called once, at
// start-up, before any other thread starts.
void UseUserLanguage();

// The text in the user's language; the same pointer when it has none.
const char* Tr(const char* english);

// The form of `one` or `other` that goes with `count` in the user's language.
const char* TrPlural(const char* one, const char* other, unsigned long count);

// The pattern with %1 to %9 filled from `values` in their order, %% as "%".
// What is put in is never looked at again, so a name holding "%1" stays as
// it is.
std::string Fill(const char* pattern, const std::vector<std::string>& values);

}  // namespace platform
