#include "LocaleCodePage.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace win {

namespace {

std::string trimmed(const char* text) {
    std::string s = text ? text : "";
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    s.erase(s.begin(), std::find_if(s.begin(), s.end(), notSpace));
    s.erase(std::find_if(s.rbegin(), s.rend(), notSpace).base(), s.end());
    return s;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

std::string environmentLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const std::string value = trimmed(std::getenv(name));
        if (!value.empty()) return value;
    }
    return std::string();
}

int codePageForLocale(const std::string& locale) {
    // language[_TERRITORY][.codeset][@modifier]
    const size_t at = locale.find('@');
    const std::string modifier = at == std::string::npos ? std::string() : lower(locale.substr(at + 1));
    std::string name = locale.substr(0, at);
    name = name.substr(0, name.find('.'));
    const size_t bar = name.find('_');
    const std::string language = lower(name.substr(0, bar));
    const std::string territory = bar == std::string::npos ? std::string() : upper(name.substr(bar + 1));

    // Languages written in either script go by the script the locale names.
    if (modifier == "latin" && language == "sr") return 1250;
    if (modifier == "cyrillic" && (language == "uz" || language == "az" || language == "bs"))
        return 1251;
    if (language == "zh")
        return (territory == "TW" || territory == "HK" || territory == "MO") ? 950 : 936;

    static const struct {
        const char* language;
        int codePage;
    } kByLanguage[] = {
        {"th", 874},   {"ja", 932},   {"ko", 949},
        {"pl", 1250},  {"cs", 1250},  {"sk", 1250},  {"hu", 1250},  {"sl", 1250},
        {"hr", 1250},  {"ro", 1250},  {"sq", 1250},  {"bs", 1250},  {"tk", 1250},
        {"ru", 1251},  {"uk", 1251},  {"be", 1251},  {"bg", 1251},  {"sr", 1251},
        {"mk", 1251},  {"kk", 1251},  {"ky", 1251},  {"tt", 1251},  {"mn", 1251},
        {"ba", 1251},  {"sah", 1251}, {"tg", 1251},
        {"el", 1253},
        {"tr", 1254},  {"az", 1254},  {"uz", 1254},
        {"he", 1255},  {"iw", 1255},  {"yi", 1255},
        {"ar", 1256},  {"fa", 1256},  {"ur", 1256},  {"ug", 1256},  {"ckb", 1256},
        {"et", 1257},  {"lv", 1257},  {"lt", 1257},
        {"vi", 1258},
    };
    for (const auto& entry : kByLanguage) {
        if (language == entry.language) return entry.codePage;
    }
    return 1252;  // "C", "POSIX" and every other language
}

std::string ansiCodePageSetting() {
    const std::string acp = trimmed(std::getenv("LUMIDOC_ACP"));
    if (acp.empty()) return std::to_string(codePageForLocale(environmentLocale()));
    const bool digits = std::all_of(acp.begin(), acp.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    return digits ? acp : std::string();
}

}  // namespace win
