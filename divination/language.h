#pragma once

#include <string>
#include <string_view>

// The languages the program speaks. Russian is its own language: whatever names neither gets Russian.
enum class Language { Russian, English };

// The language's code as desktops and translation files spell it: "ru", "en".
std::string_view languageCode(Language language);

// Where a language keeps its own version of a data file or picture: the language's code before the
// extension ("g\2.jpg" is "g\2.en.jpg" in English, "g\2.en@2x.jpg" beside it at twice the density).
// Russian, the language the files were first made in, uses them as they are named.
std::string languageFilePath(std::string_view path, Language language);
