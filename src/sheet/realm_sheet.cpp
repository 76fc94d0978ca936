#include "sheet/realm_sheet.h"

#include <QTextDocument>

#include <optional>
#include <system_error>

#include "app/platform.h"
#include "dbaware/dbmemo.h"
#include "dbaware/text.h"
#include "sheet/sheet_lines.h"
#include "store/int_text.h"

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

std::filesystem::path prepareSaveFolder(const std::filesystem::path& saveParent)
{
    const std::filesystem::path folder = saveParent / "Save";
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

void saveToFile(QWidget* window, const std::filesystem::path& saveParent, const RealmTexts& texts,
                store::Query& query, store::Session& session, const std::function<void(const QString&)>& setStatus)
{
    const std::filesystem::path folder = prepareSaveFolder(saveParent);
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
