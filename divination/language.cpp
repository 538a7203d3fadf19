#include "divination/language.h"

std::string_view languageCode(Language language)
{
    return language == Language::English ? "en" : "ru";
}

std::string languageFilePath(std::string_view path, Language language)
{
    std::string result(path);
    if (language == Language::Russian)
        return result;
    const size_t separator = path.find_last_of("\\/");
    const size_t name = separator == std::string_view::npos ? 0 : separator + 1;
    // A leading dot starts a hidden name, not an extension.
    const size_t dot = path.find_last_of('.');
    const size_t at = dot != std::string_view::npos && dot > name ? dot : path.size();
    result.insert(at, "." + std::string(languageCode(language)));
    return result;
}
