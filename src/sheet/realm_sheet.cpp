#include "sheet/realm_sheet.h"
#include "dbaware/text.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QTextDocument>

#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>

#include "app/platform.h"
#include "app/written_file.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "dbaware/dbmemo.h"
#include "sheet/province_fields.h"
#include "sheet/sheet_print.h"
#include "sheet/vdtemp.h"
#include "store/int_text.h"
#include "store/query.h"

namespace col = campaign::col;

namespace sheet {

namespace {

// Characters, not UTF-16 units: a character outside the basic plane counts once.
int characterCount(const QString& text)
{
    int n = 0;
    for (const QChar c : text)
        if (!c.isLowSurrogate())
            ++n;
    return n;
}

QString holdingColumn(const QString& level, const QString& owner)
{
    const QString trimmed = dbaware::trimmed(owner);
    const QString ownerPart = trimmed.isEmpty() ? QString() : u'(' + trimmed + u')';
    return u' ' + padRight(level, 1) + padRight(ownerPart, 9);
}

}  // namespace

QStringList memoLines(const dbaware::DBMemo& memo, int pixels)
{
    // An empty memo shows no line at any width: no twin to build.
    if (memo.document()->isEmpty())
        return {};
    dbaware::DBMemo twin;
    twin.setAttribute(Qt::WA_DontShowOnScreen);
    twin.setFont(memo.font());
    twin.setFrameStyle(memo.frameStyle());
    twin.setLineWidth(memo.lineWidth());
    twin.setContentsMargins(memo.contentsMargins());
    twin.setWordWrap(memo.wordWrap());
    twin.setScrollBars(memo.scrollBars());
    twin.setTabStopDistance(memo.tabStopDistance());
    twin.document()->setDocumentMargin(memo.document()->documentMargin());
    twin.setFixedWidth(pixels);
    twin.setPlainText(memo.toPlainText());
    return twin.displayLines();
}

QString padRight(const QString& text, int n)
{
    const int count = characterCount(text);
    return count >= n ? text : text + QString(n - count, u' ');
}

QString provinceRowLine(int index, const ProvinceRow& row)
{
    // A, B, ... and on through the codes after Z: [, \, ...
    const QChar label(static_cast<char16_t>((65 + index) % 256));
    return label + QStringLiteral(") ") + padRight(row.name, 12) + row.level + u'/' + row.maxSource + u' ' +
           holdingColumn(row.templeLevel, row.templeOwner) + holdingColumn(row.guildLevel, row.guildOwner) +
           holdingColumn(row.lawLevel, row.lawOwner) + holdingColumn(row.sourceLevel, row.sourceOwner) +
           padRight(row.fort, 7) + row.terrain;
}

QString realmHeading(const QString& domainName)
{
    if (dbaware::trimmed(domainName).isEmpty())
        return QStringLiteral("The Realm:");
    return QStringLiteral("The Realm (") + domainName + QStringLiteral("):");
}

QString maintenanceTotalLine(const QString& administrationCheck, const QString& maintTotal)
{
    const QString admin = dbaware::trimmed(administrationCheck);
    QString line = QStringLiteral("Total Realm Maintenance/Costs");
    if (!admin.isEmpty())
        line += QStringLiteral(" (Admin ") + admin + u')';
    line += QStringLiteral(": ");
    const std::optional<std::int32_t> total = store::parseInteger(maintTotal.toStdString());
    if (!total)
        throw SheetError(u'\'' + maintTotal + QStringLiteral("' is not a valid integer value"));
    line += QString::number(*total);
    // In 64 bits: the smallest total less one is still written as it is.
    if (!admin.isEmpty())
        line += u'/' + QString::number(static_cast<qint64>(*total) - 1);
    return line;
}

QString treasuryLine(const QString& currentGB, const QString& currentGP)
{
    QString line = QStringLiteral(" Treasury: ") + currentGB + QStringLiteral("GB");
    const QString gp = dbaware::trimmed(currentGP);
    if (!gp.isEmpty() && gp != u"0")
        line += QStringLiteral(", ") + currentGP + QStringLiteral(" GP");
    return line;
}

namespace {

// The sheet's lines in order into `out`: its line() takes each line of text,
// its provinces() and armies() write those sections at their places.
template <class Out>
void sheetLines(const RealmTexts& t, Out& out)
{
    auto line = [&out](const QString& l) { out.line(l); };
    const QString blank;
    const QString twoBlanks = QStringLiteral("  ");
    // A text ending with a line break shows a last empty line; it is not written.
    auto memo = [&](const QStringList& lines, const QString& prefix) {
        qsizetype n = lines.size();
        if (n > 0 && lines.back().isEmpty())
            --n;
        for (qsizetype i = 0; i < n; ++i)
            line(prefix + lines[i]);
    };

    line(QStringLiteral("Realm Sheet for ") + t.caption);
    line(blank);
    line(t.classAbbrev + QStringLiteral(" Bloodline ") + t.bloodlineStrength);
    line(QStringLiteral("  Research (") + t.researchCheck + QStringLiteral("), Administration (") +
         t.administrationCheck + QStringLiteral("), Law (") + t.lawCheck + QStringLiteral("), Leadership (") +
         t.leadershipCheck + QStringLiteral("),"));
    line(QStringLiteral("  Intrigue (") + t.intrigueCheck + QStringLiteral("), Diplomacy (") + t.diplomacyCheck +
         u')');
    line(blank);
    line(realmHeading(t.domainName));
    line(QStringLiteral("   Province        Temple     Guild      Law        Source     Fort   Terrain"));
    out.provinces();
    line(blank);
    line(QStringLiteral("Lieutenant/Vassal Information:"));
    line(blank);
    memo(t.vassals, QString());
    line(blank);
    line(QStringLiteral("Trade Routes:"));
    line(blank);
    line(QStringLiteral(" Land:"));
    memo(t.landTradeRoutes, twoBlanks);
    line(blank);
    line(QStringLiteral(" Sea:"));
    memo(t.seaTradeRoutes, twoBlanks);
    line(blank);
    line(QStringLiteral("Armies:"));
    line(blank);
    out.armies();
    line(blank);
    line(QStringLiteral("Realm Spells:"));
    line(blank);
    line(QStringLiteral(" Priest:"));
    memo(t.priestSpells, twoBlanks);
    line(blank);
    line(QStringLiteral(" Wizard:"));
    memo(t.mageSpells, twoBlanks);
    line(blank);
    line(QStringLiteral("Resource Yield:"));
    line(QStringLiteral("Claims: ") + t.lawIncome);
    line(QStringLiteral("RP: ") + t.totalRP);
    line(QStringLiteral("GB: ") + t.totalGB);
    line(blank);
    line(QStringLiteral("Ongoing costs for Building and Fortifications:"));
    line(blank);
    memo(t.buildingProjects, twoBlanks);
    line(blank);
    line(QStringLiteral("Maintenance:"));
    line(blank);
    line(QStringLiteral("Armies: ") + t.armyMaintenance);
    line(QStringLiteral("Castles and Fortified Holdings: ") + t.fortMaintenance);
    line(QStringLiteral("Palace: ") + t.palaceMaint);
    line(QStringLiteral("Court: ") + t.courtExpenditure);
    line(QStringLiteral("Provinces and Holdings: ") + t.provinceCost);
    line(QStringLiteral("Ley Lines: ") + t.leyLineMaint);
    line(blank);
    line(maintenanceTotalLine(t.administrationCheck, t.maintTotal));
    line(blank);
    line(QStringLiteral("Current Resources: "));
    line(QStringLiteral(" Regency: ") + t.currentRP);
    line(treasuryLine(t.currentGB, t.currentGP));
    line(blank);
    line(QStringLiteral("Miscellaneous Leftovers:"));
    line(blank);
    memo(t.misc, QString());
}

// Lines as texts, the sections from the sources.
struct TextOut {
    const Sources& sources;
    const std::function<void(const QString&)>& line;

    void provinces()
    {
        if (!sources.provinces)
            return;
        int index = 0;
        sources.provinces([&](const ProvinceRow& row) { line(provinceRowLine(index++, row)); });
    }
    void armies()
    {
        if (!sources.armies)
            return;
        sources.armies([&](const ProvinceArmies& p) {
            line(QStringLiteral(" Province: ") + p.province);
            qsizetype n = p.lines.size();
            if (n > 0 && p.lines.back().isEmpty())
                --n;
            for (qsizetype i = 0; i < n; ++i)
                line(QStringLiteral("  ") + p.lines[i]);
        });
    }
};

}  // namespace

void writeSheet(const RealmTexts& texts, const Sources& sources, const std::function<void(const QString&)>& line)
{
    TextOut out{sources, line};
    sheetLines(texts, out);
}

void openProvinces(store::Query& query, const QString& game, const QString& character)
{
    query.close();
    // Only the columns a row of the sheet shows, in ProvinceField's order.
    query.open(campaign::alias, campaign::table::provinces,
               {{col::GameName, game.toStdString()}, {col::CharacterName, character.toStdString()}},
               {col::ProvinceName, col::ProvinceLevel, col::MaxSourcePotential, col::Temple1Level, col::Temple1Owner,
                col::Guild1Level, col::Guild1Owner, col::Law1Level, col::Law1Owner, col::Source1Level,
                col::Source1Owner, col::FortificationLevel, col::ProvinceTerrain, col::Armies});
}

void StoredProvinces::add(const store::Query& query)
{
    for (std::size_t i = 0; i < FieldCount; ++i) {
        bytes_ += query.field(i);
        ends_.push_back(bytes_.size());
    }
}

ProvinceRow StoredProvinces::row(std::size_t r) const
{
    auto f = [this, r](ProvinceField i) {
        const std::string_view v = field(r, i);
        return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    };
    return {f(Name),        f(Level),      f(MaxSource), f(TempleLevel), f(TempleOwner),
            f(GuildLevel),  f(GuildOwner), f(LawLevel),  f(LawOwner),    f(SourceLevel),
            f(SourceOwner), f(Fort),       f(Terrain),   f(ArmiesMemo)};
}

namespace {

// One province's armies as dmemArmies breaks them into lines. The memo lays
// out only a text with a line that might be wider than it: laying out a text
// costs as much as the rest of a province, and most armies are short lines of
// plain letters, whose width a table of character widths bounds safely.
class ArmiesLines {
public:
    explicit ArmiesLines(dbaware::DBMemo& memo) : memo_(memo)
    {
        memo_.displayLines();  // gives the memo, never shown, its size
        const QTextDocument* doc = memo_.document();
        // The memo lays its text out at its viewport's width, less the margins.
        const int width = memo_.viewport()->width();
        room_ = width > 0 ? width - 2 * doc->documentMargin() : std::numeric_limits<qreal>::max();
        const QFontMetricsF metrics(doc->defaultFont());
        // Pairs of letters may be kerned apart a little: a quarter of an
        // average character each covers that with room to spare.
        slack_ = metrics.averageCharWidth() / 4;
        for (char16_t c = 0; c < advance_.size(); ++c)
            advance_[c] = plain(c) ? metrics.horizontalAdvance(QChar(c)) + slack_ : -1;
    }

    QStringList operator()(const QString& text)
    {
        if (text.isEmpty())
            return {};
        QStringList lines;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != u'\r' && text[i] != u'\n')
                continue;
            if (!fits(QStringView(text).mid(start, i - start)))
                return laidOut(text);
            lines << text.mid(start, i - start);
            if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
        return lines;
    }

    // The lines of a stored text whose bytes are all ASCII, as the above
    // gives them, without making a QString of it; false (and `lines` to be
    // ignored) when only the text itself can tell.
    bool asciiLines(std::string_view text, std::vector<std::string_view>& lines) const
    {
        lines.clear();
        if (text.empty())
            return true;
        std::size_t start = 0;
        qreal width = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            const auto c = i < text.size() ? static_cast<unsigned char>(text[i]) : '\n';
            if (c != '\r' && c != '\n') {
                if (c >= 0x80 || advance_[c] < 0)
                    return false;
                width += advance_[c];
                continue;
            }
            if (width > room_)
                return false;
            lines.push_back(text.substr(start, i - start));
            if (i + 1 < text.size() && c == '\r' && text[i + 1] == '\n')
                ++i;
            start = i + 1;
            width = 0;
        }
        return true;
    }

private:
    static bool plain(char16_t c) { return (c >= 0x20 && c < 0x7F) || (c > 0xA0 && c <= 0xFF && c != 0xAD); }

    bool fits(QStringView line) const
    {
        qreal width = 0;
        for (const QChar c : line) {
            if (c.unicode() >= advance_.size() || advance_[c.unicode()] < 0)
                return false;
            width += advance_[c.unicode()];
        }
        return width <= room_;
    }

    // The memo itself lays the text out, as it shows it.
    QStringList laidOut(const QString& text)
    {
        bool cut = false;
        memo_.setPlainText(dbaware::DBMemo::shownField(text.toStdString(), true, &cut));
        return memo_.displayLines();
    }

    dbaware::DBMemo& memo_;
    qreal room_ = 0;
    qreal slack_ = 0;
    std::array<qreal, 256> advance_{};
};

// Hands out the rows once they are read.
using RowsReader = std::function<const std::vector<ProvinceRow>&()>;

Sources sourcesOf(const RowsReader& rows, store::Session& session, QWidget* owner)
{
    Sources s;
    s.provinces = [rows](const std::function<void(const ProvinceRow&)>& visit) {
        for (const ProvinceRow& row : rows())
            visit(row);
    };
    s.armies = [rows, &session, owner](const std::function<void(const ProvinceArmies&)>& visit) {
        const std::vector<ProvinceRow>& list = rows();
        const std::unique_ptr<TfrmTemp> window(new TfrmTemp(owner, session));
        frmTemp = window.get();
        ArmiesLines lines(*frmTemp->dmemArmies);
        for (const ProvinceRow& row : list)
            visit({row.name, lines(row.armies)});
    };
    return s;
}

bool isAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// The sheet straight into the file's bytes. A stored text of ASCII alone
// has the same bytes in every encoding the file may have and counts one
// character a byte: it is copied as it is; any other goes through QString.
class ByteOut {
public:
    ByteOut(std::string& bytes, SheetFile& file, const std::function<void()>& readRows,
            const StoredProvinces& rows, store::Session& session, QWidget* owner)
        : out_(bytes), file_(file), readRows_(readRows), rows_(rows), session_(session), owner_(owner)
    {
    }

    void line(const QString& l)
    {
        encoded(l);
        out_ += "\r\n";
    }

    void provinces()
    {
        readRows_();
        int index = 0;
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            const Row p{rows_, r};
            if (!asciiRow(p)) {
                line(provinceRowLine(index++, rows_.row(r)));
                continue;
            }
            // As provinceRowLine: A, B, ... and on through the codes after Z.
            const auto label = static_cast<char16_t>((65 + index++) % 256);
            if (label < 0x80)
                out_ += static_cast<char>(label);
            else
                encoded(QString(QChar(label)));
            out_ += ") ";
            padded(p[Name], 12);
            out_ += p[Level];
            out_ += '/';
            out_ += p[MaxSource];
            out_ += ' ';
            holding(p[TempleLevel], p[TempleOwner]);
            holding(p[GuildLevel], p[GuildOwner]);
            holding(p[LawLevel], p[LawOwner]);
            holding(p[SourceLevel], p[SourceOwner]);
            padded(p[Fort], 7);
            out_ += p[Terrain];
            out_ += "\r\n";
        }
    }

    void armies()
    {
        readRows_();
        const std::unique_ptr<TfrmTemp> window(new TfrmTemp(owner_, session_));
        frmTemp = window.get();
        ArmiesLines lines(*frmTemp->dmemArmies);
        std::vector<std::string_view> plain;
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            const Row p{rows_, r};
            out_ += " Province: ";
            text(p[Name]);
            out_ += "\r\n";
            if (isAscii(p[ArmiesMemo]) && lines.asciiLines(p[ArmiesMemo], plain)) {
                // A text ending with a line break shows a last empty line; it is not written.
                if (!plain.empty() && plain.back().empty())
                    plain.pop_back();
                for (const std::string_view l : plain) {
                    out_ += "  ";
                    out_ += l;
                    out_ += "\r\n";
                }
                continue;
            }
            QStringList laid = lines(utf16(p[ArmiesMemo]));
            if (!laid.isEmpty() && laid.back().isEmpty())
                laid.removeLast();
            for (const QString& l : laid)
                line(QStringLiteral("  ") + l);
        }
    }

private:
    struct Row {
        const StoredProvinces& rows;
        std::size_t r;
        std::string_view operator[](ProvinceField f) const { return rows.field(r, f); }
    };

    static bool asciiRow(const Row& p)
    {
        for (int i = 0; i < FieldCount; ++i)
            if (i != ArmiesMemo && !isAscii(p[static_cast<ProvinceField>(i)]))
                return false;
        return true;
    }

    static QString utf16(std::string_view stored)
    {
        return QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
    }

    void encoded(const QString& text)
    {
        const QByteArray bytes = file_.encode(text);
        out_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }

    void text(std::string_view stored)
    {
        if (isAscii(stored))
            out_ += stored;
        else
            encoded(utf16(stored));
    }

    // ASCII only, from here on.
    void padded(std::string_view text, std::size_t n)
    {
        out_ += text;
        if (text.size() < n)
            out_.append(n - text.size(), ' ');
    }

    void holding(std::string_view level, std::string_view owner)
    {
        while (!owner.empty() && static_cast<unsigned char>(owner.front()) <= 32)
            owner.remove_prefix(1);
        while (!owner.empty() && static_cast<unsigned char>(owner.back()) <= 32)
            owner.remove_suffix(1);
        out_ += ' ';
        padded(level, 1);
        if (owner.empty()) {
            out_.append(9, ' ');
            return;
        }
        out_ += '(';
        out_ += owner;
        out_ += ')';
        if (owner.size() + 2 < 9)
            out_.append(9 - owner.size() - 2, ' ');
    }

    std::string& out_;
    SheetFile& file_;
    const std::function<void()>& readRows_;
    const StoredProvinces& rows_;
    store::Session& session_;
    QWidget* owner_;
};

}  // namespace

Sources storeSources(const RealmTexts& texts, store::Query& query, store::Session& session, QWidget* owner)
{
    // Read at the province section, or at the armies when they come first.
    auto read = std::make_shared<std::optional<std::vector<ProvinceRow>>>();
    const QString game = texts.gameName, character = texts.characterName;
    RowsReader rows = [read, &query, game, character]() -> const std::vector<ProvinceRow>& {
        if (!*read)
            *read = provinceRows(query, game, character);
        return **read;
    };
    return sourcesOf(rows, session, owner);
}

Sources rowSources(const std::vector<ProvinceRow>& rows, store::Session& session, QWidget* owner)
{
    return sourcesOf([&rows]() -> const std::vector<ProvinceRow>& { return rows; }, session, owner);
}

SheetFile::SheetFile(const QString& fileName)
    : saved_(fileName), direct_(fileName), encoder_(QStringConverter::System)
{
    // Unbuffered: each line is one write, so that a failure is met (and
    // named) at the line that caused it rather than lost in a later flush.
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // A device: nothing can take its place.
        file_ = &direct_;
        if (!direct_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            fail(direct_);
        return;
    }
    file_ = &saved_;
    if (!saved_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(saved_);
}

void SheetFile::writeLine(const QString& line)
{
    QByteArray bytes = encoder_.encode(line);
    bytes.append("\r\n");
    write(bytes);
}

void SheetFile::write(const QByteArray& bytes)
{
    // A disk that fills up takes part of a write without an error; writing
    // the rest then fails with the system's reason.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file_->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            fail(*file_);
        done += n;
        written_ += n;
    }
}

void SheetFile::close()
{
    if (file_ == &saved_) {
        // The sheet is whole on the disk before it takes the old one's place.
        QString refused = app::checkAside(saved_, written_);
        if (refused.isEmpty())
            refused = app::putInPlace(saved_);
        if (!refused.isEmpty())
            throw SheetError(refused);
        return;
    }
    direct_.close();
    if (direct_.error() != QFileDevice::NoError)
        fail(direct_);
}

void SheetFile::fail(const QFileDevice& device)
{
    // An uncommitted QSaveFile drops its temporary file when destroyed.
    QString reason = device.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        reason = QStringLiteral("The file %1 could not be written").arg(QDir::toNativeSeparators(device.fileName()));
    else if (&device == &saved_)
        reason = app::cannotWrite(device.fileName(), reason);  // a device is its own name
    throw SheetError(reason);
}

void saveSheet(const QString& fileName, const RealmTexts& texts, const Sources& sources)
{
    SheetFile file(fileName);
    // The whole sheet in memory, then one write: a failure before its end
    // leaves nothing written.
    QString sheet;
    sheet.reserve(1 << 16);
    writeSheet(texts, sources, [&sheet](const QString& l) { sheet += l + QStringLiteral("\r\n"); });
    file.write(file.encode(sheet));
    file.close();
}

void saveSheet(const QString& fileName, const RealmTexts& texts, store::Query& query, store::Session& session,
               QWidget* owner)
{
    SheetFile file(fileName);
    // Read at the province section, once for both.
    StoredProvinces rows;
    bool read = false;
    // The whole sheet in memory, then one write: a failure before its end
    // leaves nothing written.
    std::string sheet;
    sheet.reserve(1 << 16);
    const std::function<void()> readRows = [&] {
        if (read)
            return;
        openProvinces(query, texts.gameName, texts.characterName);
        for (; !query.eof(); query.next())
            rows.add(query);
        read = true;
        // A row's line and its armies' take about its fields' bytes and the padding.
        sheet.reserve(sheet.size() + rows.bytes() + rows.size() * 96 + (1 << 14));
    };
    ByteOut out(sheet, file, readRows, rows, session, owner);
    sheetLines(texts, out);
    file.write(QByteArray::fromRawData(sheet.data(), static_cast<qsizetype>(sheet.size())));
    file.close();
}

std::filesystem::path prepareSaveFolder(const std::filesystem::path& programFolder)
{
    const std::filesystem::path folder = programFolder / "Save";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

dbaware::SaveRequest saveRequest(const QString& folder, const QString& characterName)
{
    dbaware::SaveRequest r;
    r.title = QStringLiteral("Save Realm To:");
    r.filters = QStringList{QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")};
    r.defaultSuffix = QStringLiteral("txt");
    r.folder = folder;
    r.fileName = app::platform::safeFileName(characterName);
    r.confirmOverwrite = true;
    r.refuseReadOnly = true;
    return r;
}

void saveToFile(QWidget* window, const std::filesystem::path& programFolder, const RealmTexts& texts,
                store::Query& query, store::Session& session, const std::function<void(const QString&)>& setStatus)
{
    const std::filesystem::path folder = prepareSaveFolder(programFolder);
    const std::optional<QString> file =
        dbaware::dialogs().saveFileName(window, saveRequest(app::platform::toQString(folder), texts.characterName));
    if (!file) {
        setStatus(status::canceled);
        return;
    }
    setStatus(status::processing);
    try {
        saveSheet(*file, texts, query, session, window);
    } catch (...) {
        setStatus(status::failed);
        throw;
    }
    setStatus(status::complete);
}

}  // namespace sheet
