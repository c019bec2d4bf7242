#include "Environment.h"

#include <QDir>
#include <QHash>
#include <QStandardPaths>

namespace env {

namespace {

QString firstSet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            return value;
    }
    return {};
}

QString homeSubfolder(const char* relative) {
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(relative);
}

// Language and region to Windows locale identifier; a language alone maps to
// its primary locale.
const QHash<QString, std::uint32_t>& localeTable() {
    static const QHash<QString, std::uint32_t> table = {
        {"ar", 1025},     {"ar_SA", 1025},       {"ar_IQ", 2049},  {"ar_EG", 3073},
        {"ar_LY", 4097},  {"ar_DZ", 5121},       {"ar_MA", 6145},  {"ar_TN", 7169},
        {"ar_OM", 8193},  {"ar_YE", 9217},       {"ar_SY", 10241}, {"ar_JO", 11265},
        {"ar_LB", 12289}, {"ar_KW", 13313},      {"ar_AE", 14337}, {"ar_BH", 15361},
        {"ar_QA", 16385}, {"zh", 2052},          {"zh_TW", 1028},  {"zh_CN", 2052},
        {"zh_HK", 3076},  {"zh_SG", 4100},       {"zh_MO", 5124},  {"en", 1033},
        {"en_US", 1033},  {"en_GB", 2057},       {"en_AU", 3081},  {"en_CA", 4105},
        {"en_NZ", 5129},  {"en_IE", 6153},       {"en_ZA", 7177},  {"hi", 1081},
        {"bg", 1026},     {"ca", 1027},          {"cs", 1029},     {"da", 1030},
        {"de", 1031},     {"de_DE", 1031},       {"de_CH", 2055},  {"de_AT", 3079},
        {"de_LU", 4103},  {"de_LI", 5127},       {"el", 1032},     {"es", 1034},
        {"es_ES", 1034},  {"es_MX", 2058},       {"es_GT", 4106},  {"es_CR", 5130},
        {"es_PA", 6154},  {"es_DO", 7178},       {"es_VE", 8202},  {"es_CO", 9226},
        {"es_PE", 10250}, {"es_AR", 11274},      {"es_EC", 12298}, {"es_CL", 13322},
        {"es_UY", 14346}, {"es_PY", 15370},      {"es_BO", 16394}, {"es_SV", 17418},
        {"es_HN", 18442}, {"es_NI", 19466},      {"es_PR", 20490}, {"fi", 1035},
        {"fr", 1036},     {"fr_FR", 1036},       {"fr_BE", 2060},  {"fr_CA", 3084},
        {"fr_CH", 4108},  {"fr_LU", 5132},       {"fr_MC", 6156},  {"he", 1037},
        {"hu", 1038},     {"is", 1039},          {"it", 1040},     {"it_IT", 1040},
        {"it_CH", 2064},  {"ja", 1041},          {"ko", 1042},     {"nl", 1043},
        {"nl_NL", 1043},  {"nl_BE", 2067},       {"nb", 1044},     {"no", 1044},
        {"nn", 2068},     {"pl", 1045},          {"pt", 2070},     {"pt_BR", 1046},
        {"pt_PT", 2070},  {"rm", 1047},          {"ro", 1048},     {"ru", 1049},
        {"hr", 1050},     {"sk", 1051},          {"sq", 1052},     {"sv", 1053},
        {"sv_FI", 2077},  {"th", 1054},          {"tr", 1055},     {"ur", 1056},
        {"ur_IN", 2080},  {"id", 1057},          {"uk", 1058},     {"be", 1059},
        {"sl", 1060},     {"et", 1061},          {"lv", 1062},     {"lt", 1063},
        {"fa", 1065},     {"vi", 1066},          {"hy", 1067},     {"az", 1068},
        {"eu", 1069},     {"mk", 1071},          {"af", 1078},     {"ka", 1079},
        {"fo", 1080},     {"gd", 1084},          {"ms", 1086},     {"ms_BN", 2110},
        {"kk", 1087},     {"uz", 1091},          {"bn", 1093},     {"ta", 1097},
        {"te", 1098},     {"ml", 1100},          {"cy", 1106},     {"ne", 1121},
        {"sr", 2074},     {"sr_RS@latin", 2074}, {"sr_RS", 3098},
    };
    return table;
}

} // namespace

QString variable(const QString& name) {
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

QString localAppData() {
    const QString value = firstSet({"LOCALAPPDATA", "XDG_DATA_HOME"});
    return value.isEmpty() ? homeSubfolder(".local/share") : value;
}

QString allUsersProfile() {
    const QString value = firstSet({"ALLUSERSPROFILE"});
    return value.isEmpty() ? QStringLiteral("/var/lib") : value;
}

QString tempFolder() {
    const QString value = firstSet({"TEMP", "TMPDIR"});
    return value.isEmpty() ? QStringLiteral("/tmp") : value;
}

QString userName() {
    return firstSet({"USERNAME", "USER"});
}

QString picturesFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return folder.isEmpty() ? homeSubfolder("Pictures") : folder;
}

QString configFolder() {
    const QString value = firstSet({"XDG_CONFIG_HOME"});
    return value.isEmpty() ? homeSubfolder(".config") : value;
}

std::uint32_t lcidFromLocaleName(const QString& localeName) {
    // "fr_CA.UTF-8@euro": drop the code set, keep a modifier only where it names a script.
    QString name = localeName.section(QLatin1Char('.'), 0, 0);
    const QString modifier = localeName.section(QLatin1Char('@'), 1);
    name = name.section(QLatin1Char('@'), 0, 0);
    const auto& table = localeTable();
    if (!modifier.isEmpty()) {
        const auto withModifier = table.constFind(name + QLatin1Char('@') + modifier);
        if (withModifier != table.constEnd())
            return *withModifier;
    }
    const auto exact = table.constFind(name);
    if (exact != table.constEnd())
        return *exact;
    return table.value(name.section(QLatin1Char('_'), 0, 0), 0);
}

std::uint32_t userDefaultLcid() {
    const QString locale = firstSet({"LC_ALL", "LC_MESSAGES", "LANG"});
    if (locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX") ||
        locale.startsWith(QLatin1String("C.")))
        return 1033;
    const std::uint32_t lcid = lcidFromLocaleName(locale);
    return lcid ? lcid : 1033;
}

} // namespace env
