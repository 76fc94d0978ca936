#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace sheet {
struct RealmTexts;
}

// The files the program writes beside the tables: the daily copies of the
// campaign file and the realm sheet. Both processes make their names and
// contents from a number, as they do the records.
namespace crash {

// Noon of day `day` counted from 1 January 2030, local time.
std::chrono::system_clock::time_point backupTime(int day);
// The daily copy's file name for that day, as the store names it.
std::string backupName(int day);
// The day of a daily copy's file name; nullopt for another name.
std::optional<int> backupDay(const std::string& name);

// The texts of realm sheet `version`: a character with no provinces (so
// the tables play no part) and long memos, so that writing it takes a while.
sheet::RealmTexts sheetTexts(int version);
// The bytes of that sheet's file when it is complete.
std::string sheetBytes(int version);

// A file's bytes; nullopt when there is no file.
std::optional<std::string> fileBytes(const std::filesystem::path& file);

}  // namespace crash
