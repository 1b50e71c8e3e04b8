#pragma once

#include <string>
#include <vector>

namespace zorvan {

// The window's languages: its own Chinese texts, or English.
enum class Language { Chinese, English };

// The language to start in: "--lang zh|en" (or "--lang=..."), else the
// one chosen before (the settings' ui/language), else the desktop's:
// Chinese for zh* and for the C/POSIX locale, English for any other.
Language chooseLanguage(const std::vector<std::string>& args);

// Puts the language in place for every text shown from now on, Qt's own
// standard buttons included.
void useLanguage(Language language);
Language languageInUse();

}  // namespace zorvan
