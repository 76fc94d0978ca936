#include "crash/files.h"

#include "sheet/realm_sheet.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>

namespace crash {

namespace {

std::time_t noonOf(int year, int month, int mday)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = mday;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace

std::chrono::system_clock::time_point backupTime(int day)
{
    return std::chrono::system_clock::from_time_t(noonOf(2030, 1, 1 + day));
}

std::string backupName(int day)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(backupTime(day));
    std::tm tm{};
    localtime_r(&t, &tm);
    char text[40];
    std::strftime(text, sizeof text, "campaign-%Y-%m-%d.sqlite", &tm);
    return text;
}

std::optional<int> backupDay(const std::string& name)
{
    int y = 0, m = 0, d = 0;
    char tail[16] = {};
    if (std::sscanf(name.c_str(), "campaign-%4d-%2d-%2d%15s", &y, &m, &d, tail) != 4 || std::string(tail) != ".sqlite")
        return std::nullopt;
    const double seconds = std::difftime(noonOf(y, m, d), noonOf(2030, 1, 1));
    const int day = static_cast<int>((seconds + 43200) / 86400);  // a daylight-saving hour either way
    if (day < 0 || backupName(day) != name)
        return std::nullopt;
    return day;
}

sheet::RealmTexts sheetTexts(int version)
{
    sheet::RealmTexts t;
    const QString v = QString::number(version);
    t.caption = QStringLiteral("Sheet ") + v;
    t.gameName = QStringLiteral("No such game");
    t.characterName = QStringLiteral("Nobody");
    t.domainName = QStringLiteral("Domain ") + v;
    for (QString* number : {&t.researchCheck, &t.administrationCheck, &t.lawCheck, &t.leadershipCheck,
                            &t.intrigueCheck, &t.diplomacyCheck, &t.lawIncome, &t.totalRP, &t.totalGB,
                            &t.armyMaintenance, &t.fortMaintenance, &t.palaceMaint, &t.courtExpenditure,
                            &t.provinceCost, &t.leyLineMaint, &t.maintTotal, &t.currentRP, &t.currentGB, &t.currentGP})
        *number = v;
    const int lines = 4000 + version % 1000;
    for (int i = 0; i < lines; ++i)
        t.misc.append(QStringLiteral("Sheet %1, note %2: the realm's affairs in some detail.").arg(version).arg(i));
    t.vassals = QStringList{QStringLiteral("Vassal of sheet ") + v};
    return t;
}

std::string sheetBytes(int version)
{
    std::string bytes;
    sheet::writeSheet(sheetTexts(version), sheet::Sources{}, [&bytes](const QString& line) {
        bytes += line.toStdString();  // the texts are plain ASCII
        bytes += "\r\n";
    });
    return bytes;
}

std::optional<std::string> fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace crash
