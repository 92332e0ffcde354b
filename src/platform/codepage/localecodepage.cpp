#include "platform/codepage/localecodepage.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

// Locale names Wine knows, as language[_TERRITORY][@script], with the code
// page it gives them. A name with a territory matches only that territory:
// Wine gives "pl_US" and "ru_UA" the fallback 1252, as it gives "sr_RS"
// (Windows knows Serbian there only with a script). Scripts other than
// latin and cyrillic are ignored, as Wine ignores them.
struct LocaleRow {
    CodePage codePage;
    std::string_view names;
};

constexpr LocaleRow KnownLocales[] = {
    {1250, "pl pl_PL cs cs_CZ sk sk_SK hu hu_HU sl sl_SI hr hr_HR ro ro_RO sq sq_AL "
           "bs bs_BA@latin sr sr@latin sr_RS@latin"},
    {1251, "ru ru_RU ru_MD uk uk_UA be be_BY bg bg_BG mk mk_MK mn mn_MN tg tg_TJ ky ky_KG "
           "tt tt_RU ba ba_RU sr@cyrillic sr_RS@cyrillic uz_UZ@cyrillic az_AZ@cyrillic"},
    {1253, "el el_GR"},
    {1254, "tr tr_TR az az@latin az_AZ@latin uz uz@latin uz_UZ@latin"},
    {1255, "he he_IL"},
    {1256, "ar ar_AE ar_BH ar_DZ ar_EG ar_IQ ar_JO ar_KW ar_LB ar_LY ar_MA ar_OM ar_QA ar_SA "
           "ar_SY ar_TN ar_YE fa fa_IR ur ur_PK"},
    {1257, "lt lt_LT lv lv_LV et et_EE"},
    {1258, "vi vi_VN"},
    {874, "th th_TH"},
    {932, "ja ja_JP"},
    {936, "zh zh_CN zh_SG"},
    {949, "ko ko_KR"},
    {950, "zh_TW zh_HK zh_MO"},
    {Utf8CodePage, "hi hi_IN ka ka_GE hy hy_AM kk kk_KZ bn bn_IN bn_BD ta ta_IN te te_IN ml ml_IN "
                   "kn kn_IN gu gu_IN pa pa_IN mr mr_IN ne ne_NP si si_LK km km_KH lo lo_LA am am_ET"},
};

constexpr CodePage FallbackCodePage = 1252;

// "pl_PL.UTF-8@euro" -> "pl_PL"; "sr_RS@latin" -> "sr_RS@latin": the
// codeset goes, and a modifier stays only when it names a script. Letter
// case does not matter to Wine.
std::string LookupName(std::string_view localeName)
{
    std::string_view modifier;
    if (const auto at = localeName.find('@'); at != std::string_view::npos) {
        modifier = localeName.substr(at + 1);
        localeName = localeName.substr(0, at);
    }
    localeName = localeName.substr(0, localeName.find('.'));
    const auto underscore = localeName.find('_');
    std::string name;
    for (std::size_t i = 0; i < localeName.size(); ++i) {
        const auto c = static_cast<unsigned char>(localeName[i]);
        name.push_back(static_cast<char>(i < underscore ? std::tolower(c) : std::toupper(c)));
    }
    std::string script(modifier);
    std::transform(script.begin(), script.end(), script.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (script == "latin" || script == "cyrillic")
        name += "@" + script;
    return name;
}

bool ListHolds(std::string_view names, std::string_view name)
{
    while (!names.empty()) {
        const auto space = names.find(' ');
        if (names.substr(0, space) == name)
            return true;
        if (space == std::string_view::npos)
            break;
        names.remove_prefix(space + 1);
    }
    return false;
}

} // namespace

CodePage AnsiCodePageForLocale(std::string_view localeName)
{
    const std::string name = LookupName(localeName);
    if (name.empty())
        return FallbackCodePage;
    for (const LocaleRow& row : KnownLocales)
        if (ListHolds(row.names, name))
            return row.codePage;
    return FallbackCodePage;
}

std::string CharacterLocaleFromEnvironment()
{
    const auto variable = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value != nullptr ? value : "";
    };
    // Wine takes LC_ALL by its name alone, but LC_CTYPE or LANG only when
    // the system has that locale; otherwise the C library stays in "C".
    if (std::string all = variable("LC_ALL"); !all.empty())
        return all;
    std::string name = variable("LC_CTYPE");
    if (name.empty())
        name = variable("LANG");
    const locale_t loaded = name.empty() ? locale_t{} : ::newlocale(LC_CTYPE_MASK, name.c_str(), locale_t{});
    if (loaded == locale_t{})
        return "C";
    ::freelocale(loaded);
    return name;
}

CodePage ProcessAnsiCodePage()
{
    static const CodePage codePage = AnsiCodePageForLocale(CharacterLocaleFromEnvironment());
    return codePage;
}
