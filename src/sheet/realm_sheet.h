#pragma once
#include <QFile>
#include <QSaveFile>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbaware/dialogs.h"

class QWidget;

namespace dbaware {
class DBMemo;
}
namespace store {
class Query;
class Session;
}  // namespace store

// The realm sheet: the plain-text summary of one character's realm that the
// realm details window writes with File > Save to File.
namespace sheet {

// A failure that ends the save where it happens (file errors, a total that is
// not a whole number); the window's error box shows its text.
class SheetError : public std::runtime_error {
public:
    explicit SheetError(const QString& text) : std::runtime_error(text.toUtf8().toStdString()) {}
};

// Widths in pixels of the memos whose lines the sheet copies, frame and
// scroll bar included: the sheet wraps their text as these controls do.
namespace width {
inline constexpr int vassals = 505;
inline constexpr int landTradeRoutes = 233;
inline constexpr int seaTradeRoutes = 257;
inline constexpr int armies = 321;
inline constexpr int priestSpells = 177;
inline constexpr int mageSpells = 169;
inline constexpr int buildingProjects = 505;
inline constexpr int misc = 513;
}  // namespace width

// The lines a memo shows for display when it is `pixels` wide, in its font,
// with its wrapping and scroll bars: its text broken at each line break and
// wherever a line is wider than the control. A text ending with a line break
// ends with an empty line (the sheet drops it). Measured on a twin, so the
// memo's own size and layout play no part.
QStringList memoLines(const dbaware::DBMemo& memo, int pixels);

// Everything the sheet takes from the realm details window, as the window
// shows it when the command runs: the texts of the bound and the computed
// boxes, and the memos' display lines (memoLines at the widths above).
struct RealmTexts {
    QString caption;  // the window's caption
    QString gameName, characterName;
    QString classAbbrev, bloodlineStrength;
    QString researchCheck, administrationCheck, lawCheck, leadershipCheck, intrigueCheck, diplomacyCheck;
    QString domainName;
    QString lawIncome;
    QString totalRP, totalGB;  // computed boxes
    QString armyMaintenance, fortMaintenance, palaceMaint /* computed */, courtExpenditure, provinceCost,
        leyLineMaint;
    QString maintTotal;  // computed box; must hold a whole number
    QString currentRP, currentGB, currentGP;
    QStringList vassals, landTradeRoutes, seaTradeRoutes, priestSpells, mageSpells, buildingProjects, misc;
};

// The columns of one province that its row on the sheet shows, as text (an
// empty number is the empty text).
struct ProvinceRow {
    QString name, level, maxSource;
    QString templeLevel, templeOwner, guildLevel, guildOwner, lawLevel, lawOwner, sourceLevel, sourceOwner;
    QString fort, terrain;
    QString armies;  // the whole memo, for the printed sheet; the text sheet reads it through TfrmTemp
};

// One province of the armies section: its name and its armies memo's
// display lines.
struct ProvinceArmies {
    QString province;
    QStringList lines;
};

// Where the two province sections come from. Each is called once, at its
// place in the sheet, and hands its items to the visitor in order; what it
// throws ends the sheet there.
struct Sources {
    std::function<void(const std::function<void(const ProvinceRow&)>&)> provinces;
    std::function<void(const std::function<void(const ProvinceArmies&)>&)> armies;
};

// The sheet's lines in order, each handed to `line` as soon as it is formed,
// so that a failure leaves the lines before it written.
void writeSheet(const RealmTexts& texts, const Sources& sources, const std::function<void(const QString&)>& line);

// The sources as the window has them: the province rows read once, in the
// store's order, by one select on its query (closed, given the new select and
// opened when the first section needs them; left open); the armies of those
// rows broken into lines as the memo of the hidden window TfrmTemp, created
// with `owner` for the section and freed after it, breaks them.
Sources storeSources(const RealmTexts& texts, store::Query& query, store::Session& session, QWidget* owner);

// The provinces of one character as the sheet selects them, read whole.
std::vector<ProvinceRow> provinceRows(store::Query& query, const QString& game, const QString& character);

// The pieces of the sheet with rules of their own.
QString padRight(const QString& text, int n);       // counted in characters
QString provinceRowLine(int index, const ProvinceRow& row);
QString realmHeading(const QString& domainName);
QString maintenanceTotalLine(const QString& administrationCheck, const QString& maintTotal);
QString treasuryLine(const QString& currentGB, const QString& currentGP);

// The sheet's file. Lines go to a temporary file beside the target, which
// takes the target's name only when close() has written it whole, so that a
// failure leaves the old file as it was and no partial sheet anywhere. A
// target that exists but is no regular file (a device) is written directly.
// Text is in the system's encoding (the ANSI code page on Windows, the
// locale's, UTF-8, elsewhere), without a byte-order mark, each line ended by
// CR LF. Failures throw SheetError with the system's text.
class SheetFile {
public:
    explicit SheetFile(const QString& fileName);
    void writeLine(const QString& line);
    // Bytes as they are, in one go (encode() gives the file's encoding).
    void write(const QByteArray& bytes);
    QByteArray encode(const QString& text) { return encoder_.encode(text); }
    void close();

private:
    [[noreturn]] void fail(const QFileDevice& device);
    QSaveFile saved_;
    QFile direct_;
    QFileDevice* file_ = nullptr;
    qint64 written_ = 0;
    QStringEncoder encoder_;
};

// The whole save after the dialog: the file created, the sheet formed and
// written, the file closed.
void saveSheet(const QString& fileName, const RealmTexts& texts, const Sources& sources);
void saveSheet(const QString& fileName, const RealmTexts& texts, store::Query& query, store::Session& session,
               QWidget* owner);

// The folder "Save" in `saveParent` (beside the program, or in the user's
// documents where the program's folder cannot be written), where the save
// dialog starts; made (with the folders above it) when missing. A failure
// to make it is ignored.
std::filesystem::path prepareSaveFolder(const std::filesystem::path& saveParent);

// The save dialog: its title, filters, default extension, overwrite question
// and refusal of read-only files, starting in `folder` with the character's
// name as the file name.
dbaware::SaveRequest saveRequest(const QString& folder, const QString& characterName);

// The command File > Save to File after the window has gathered its texts:
// the save folder made, the save dialog shown over `window`, and unless it is
// cancelled the sheet written to the chosen file; `setStatus` shows the
// progress in the window's status bar. An error ends it where it happens and
// is thrown on to the window's error box; the status then says the save
// failed, and the file chosen is as it was before.
void saveToFile(QWidget* window, const std::filesystem::path& saveParent, const RealmTexts& texts,
                store::Query& query, store::Session& session, const std::function<void(const QString&)>& setStatus);

// The status texts of the realm details window during a save.
namespace status {
inline const QString canceled = QStringLiteral("Save Canceled");
inline const QString processing = QStringLiteral("Save Processing...");
inline const QString complete = QStringLiteral("Save Complete");
inline const QString failed = QStringLiteral("Save Failed");
}  // namespace status

}  // namespace sheet
