#include "modLocalisation.h"

#include "modIni.h"
#include "platform/Environment.h"

#include <QHash>

#include <vector>

namespace localisation {

namespace {

const QHash<std::uint32_t, QString>& tagTable() {
    static const QHash<std::uint32_t, QString> table = [] {
        const std::vector<std::pair<const char*, std::vector<std::uint32_t>>> languages = {
            {"ar",
             {1, 1025, 2049, 3073, 4097, 5121, 6145, 7169, 8193, 9217, 10241, 11265, 12289, 13313,
              14337, 15361, 16385}},
            {"zh", {4, 1028, 2052, 3076, 4100, 5124, 31748}},
            {"en", {9, 1033, 2057, 3081, 4105, 5129, 6153}},
            {"hi", {57, 1081}},
            {"bg", {1026}},
            {"ca", {1027}},
            {"cs", {1029}},
            {"da", {1030}},
            {"de", {1031, 2055, 3079, 4103, 5127}},
            {"el", {1032}},
            {"es",
             {1034, 2058, 4106, 5130, 6154, 7178, 8202, 9226, 10250, 11274, 12298, 13322, 14346,
              15370, 16394, 17418, 18442, 19466, 20490}},
            {"fi", {1035}},
            {"fr", {1036, 2060, 3084, 4108, 5132, 6156}},
            {"he", {1037}},
            {"hu", {1038}},
            {"is", {1039}},
            {"it", {1040, 2064}},
            {"ja", {1041}},
            {"ko", {1042}},
            {"nl", {1043, 2067}},
            {"no", {1044, 2068}},
            {"pl", {1045}},
            {"pt", {1046, 2070}},
            {"rm", {1047}},
            {"ro", {1048}},
            {"ru", {1049}},
            {"hr", {1050}},
            {"sk", {1051}},
            {"sq", {1052}},
            {"sv", {1053}},
            {"th", {1054}},
            {"tr", {1055}},
            {"ur", {1056, 2080}},
            {"in", {1057}},
            {"uk", {1058}},
            {"sl", {1060}},
            {"et", {1061}},
            {"lv", {1062}},
            {"lt", {1063, 2092}},
            {"vi", {1066}},
            {"cy", {1068}},
            {"eu", {1069}},
            {"mk", {1071}},
            {"af", {1078}},
            {"gd", {1084, 2108}},
            {"ms", {1086, 2110}},
            {"uz", {1091, 2115}},
            {"bn", {1093}},
            {"ta", {1097}},
            {"te", {1098}},
            {"ml", {1100}},
            {"ne", {1121}},
            {"sr", {2074, 3098}},
        };
        QHash<std::uint32_t, QString> tags;
        for (const auto& [code, lcids] : languages) {
            for (const std::uint32_t lcid : lcids)
                tags.insert(lcid, QString::fromLatin1(code));
        }
        return tags;
    }();
    return table;
}

} // namespace

QString languageTag(std::uint32_t lcid) {
    return tagTable().value(lcid, QStringLiteral("en"));
}

QString userLanguageTag() {
    return languageTag(env::userDefaultLcid());
}

QString chooseLanguage(const QString& code, const QString& localeIniPath) {
    const QString language = code.isEmpty() ? userLanguageTag().left(2) : code;
    const QString supported = ini::readValue(language, QStringLiteral("lang"), {}, localeIniPath);
    return supported.isEmpty() ? QStringLiteral("en") : language;
}

QString openDialogFilter(const QString& language, const QString& localeIniPath) {
    return ini::readValue(language, QStringLiteral("Ocx2"),
                          QStringLiteral("Dicom Files|*.dcm|All Files|*.*"), localeIniPath);
}

} // namespace localisation
