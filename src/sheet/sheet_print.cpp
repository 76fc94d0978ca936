#include "sheet/sheet_print.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextDocument>

#include <exception>

#include "app/platform.h"
#include "app/written_file.h"
#include "dbaware/text.h"

namespace sheet {

namespace {

QString esc(const QString& text) { return text.toHtmlEscaped(); }

// Inline styles: Qt's rich text left the headings at its own sizes when
// they came from a style sheet's selectors.
constexpr const char* memoStyle = "<p style=\"margin-left: 24px; white-space: pre-wrap\">";
constexpr const char* h2Style = "font-size: 12pt; font-weight: bold; margin-top: 12px; margin-bottom: 3px";
constexpr const char* h3Style = "font-size: 10pt; font-weight: bold; margin-top: 5px; margin-bottom: 1px";

// One paragraph per line; blanks kept as typed, long lines wrapped by the
// page. A last empty line (the text ended with a line break) is dropped, as
// on the text sheet.
QString memoHtml(QStringList lines)
{
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    QString out;
    for (const QString& l : lines)
        out += QLatin1String(memoStyle) + (l.isEmpty() ? QStringLiteral("&nbsp;") : esc(l)) + QStringLiteral("</p>");
    return out;
}

QString heading(const char* style, const QString& text)
{
    return QStringLiteral("<p style=\"%1\">%2</p>").arg(QLatin1String(style), esc(text));
}

QString holding(const QString& level, const QString& owner)
{
    const QString trimmed = dbaware::trimmed(owner);
    return esc(trimmed.isEmpty() ? level : level + QStringLiteral(" (") + trimmed + u')');
}

QString provinceTable(const std::vector<ProvinceRow>& rows)
{
    if (rows.empty())
        return QStringLiteral("<p>No provinces.</p>");
    QString out = QStringLiteral(
        "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\" border=\"1\">"
        "<thead><tr><th></th><th>Province</th><th>Level</th><th>Temple</th><th>Guild</th><th>Law</th>"
        "<th>Source</th><th>Fort</th><th>Terrain</th></tr></thead>");
    int index = 0;
    for (const ProvinceRow& r : rows) {
        // The text sheet's labels: A, B, ... and on through the codes after Z.
        const QChar label(static_cast<char16_t>((65 + index++) % 256));
        const QString level = r.level.isEmpty() && r.maxSource.isEmpty() ? QString() : r.level + u'/' + r.maxSource;
        out += QStringLiteral("<tr><td>") + esc(QString(label)) + QStringLiteral("</td><td>") + esc(r.name) +
               QStringLiteral("</td><td>") + esc(level) + QStringLiteral("</td><td>") +
               holding(r.templeLevel, r.templeOwner) + QStringLiteral("</td><td>") +
               holding(r.guildLevel, r.guildOwner) + QStringLiteral("</td><td>") + holding(r.lawLevel, r.lawOwner) +
               QStringLiteral("</td><td>") + holding(r.sourceLevel, r.sourceOwner) + QStringLiteral("</td><td>") +
               esc(r.fort) + QStringLiteral("</td><td>") + esc(r.terrain) + QStringLiteral("</td></tr>");
    }
    return out + QStringLiteral("</table>");
}

QString lineHtml(const QString& text) { return QStringLiteral("<p>") + esc(text) + QStringLiteral("</p>"); }

QString sheetHtml(const PrintedSheet& s, bool newPage)
{
    const RealmTexts& t = s.texts;
    QString h = QStringLiteral("<p style=\"font-size: 18pt; font-weight: bold%1\">")
                    .arg(newPage ? QStringLiteral("; page-break-before: always") : QString());
    h += esc(t.characterName) + QStringLiteral("</p>");
    h += QStringLiteral("<p style=\"font-size: 12pt; margin-bottom: 8px\">Game: ") + esc(t.gameName) +
         QStringLiteral("</p>");
    h += lineHtml(t.classAbbrev + QStringLiteral(" Bloodline ") + t.bloodlineStrength);
    h += lineHtml(QStringLiteral("Research (") + t.researchCheck + QStringLiteral("), Administration (") +
                  t.administrationCheck + QStringLiteral("), Law (") + t.lawCheck + QStringLiteral("), Leadership (") +
                  t.leadershipCheck + QStringLiteral("), Intrigue (") + t.intrigueCheck +
                  QStringLiteral("), Diplomacy (") + t.diplomacyCheck + u')');

    h += heading(h2Style, realmHeading(t.domainName));
    h += provinceTable(s.provinces);

    h += heading(h2Style, QStringLiteral("Lieutenant/Vassal Information:")) + memoHtml(t.vassals);
    h += heading(h2Style, QStringLiteral("Trade Routes:"));
    h += heading(h3Style, QStringLiteral("Land:")) + memoHtml(t.landTradeRoutes);
    h += heading(h3Style, QStringLiteral("Sea:")) + memoHtml(t.seaTradeRoutes);
    h += heading(h2Style, QStringLiteral("Armies:"));
    for (const ProvinceRow& r : s.provinces)
        h += heading(h3Style, QStringLiteral("Province: ") + r.name) + memoHtml(textLines(r.armies));
    h += heading(h2Style, QStringLiteral("Realm Spells:"));
    h += heading(h3Style, QStringLiteral("Priest:")) + memoHtml(t.priestSpells);
    h += heading(h3Style, QStringLiteral("Wizard:")) + memoHtml(t.mageSpells);
    h += heading(h2Style, QStringLiteral("Resource Yield:"));
    h += lineHtml(QStringLiteral("Claims: ") + t.lawIncome) + lineHtml(QStringLiteral("RP: ") + t.totalRP) +
         lineHtml(QStringLiteral("GB: ") + t.totalGB);
    h += heading(h2Style, QStringLiteral("Ongoing costs for Building and Fortifications:")) +
         memoHtml(t.buildingProjects);
    h += heading(h2Style, QStringLiteral("Maintenance:"));
    h += lineHtml(QStringLiteral("Armies: ") + t.armyMaintenance) +
         lineHtml(QStringLiteral("Castles and Fortified Holdings: ") + t.fortMaintenance) +
         lineHtml(QStringLiteral("Palace: ") + t.palaceMaint) +
         lineHtml(QStringLiteral("Court: ") + t.courtExpenditure) +
         lineHtml(QStringLiteral("Provinces and Holdings: ") + t.provinceCost) +
         lineHtml(QStringLiteral("Ley Lines: ") + t.leyLineMaint);
    // Throws, as on the text sheet, when the total is no whole number.
    h += QStringLiteral("<p><b>") + esc(maintenanceTotalLine(t.administrationCheck, t.maintTotal)) +
         QStringLiteral("</b></p>");
    h += heading(h2Style, QStringLiteral("Current Resources:"));
    h += lineHtml(QStringLiteral("Regency: ") + t.currentRP);
    h += lineHtml(treasuryLine(t.currentGB, t.currentGP).mid(1));  // without the text sheet's indent
    h += heading(h2Style, QStringLiteral("Miscellaneous Leftovers:")) + memoHtml(t.misc);
    return h;
}

class QtPrinting final : public Printing {
public:
    bool preview(QWidget* parent, const QString& title,
                 const std::function<void(QPagedPaintDevice&)>& paint) override
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(title);
        QPrintPreviewDialog dialog(&printer, parent);
        dialog.setWindowTitle(title);
        // An error may not cross Qt's event loop: kept, and thrown on after.
        std::exception_ptr failure;
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) {
            try {
                paint(*p);
            } catch (...) {
                failure = std::current_exception();
            }
        });
        const bool printed = dialog.exec() == QDialog::Accepted;
        if (failure)
            std::rethrow_exception(failure);
        return printed;
    }
};

Printing* currentPrinting = nullptr;

}  // namespace

QStringList textLines(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    if (text.isEmpty())
        return {};
    return text.split(lineBreak);
}

QString sheetsHtml(const std::vector<PrintedSheet>& sheets)
{
    QString html = QStringLiteral(
        "<html><head><style>p { margin: 0; } th { background-color: #e0e0e0; text-align: left; }</style></head><body>");
    bool first = true;
    for (const PrintedSheet& s : sheets) {
        html += sheetHtml(s, !first);
        first = false;
    }
    return html + QStringLiteral("</body></html>");
}

void printSheets(QPagedPaintDevice& device, const std::vector<PrintedSheet>& sheets)
{
    QTextDocument doc;
    doc.setDocumentMargin(0);  // the page has its margins
    doc.documentLayout()->setPaintDevice(&device);
    QFont font = doc.defaultFont();
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setHtml(sheetsHtml(sheets));

    QPainter painter;
    if (!painter.begin(&device))
        throw SheetError(QStringLiteral("The pages could not be started"));
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    QFont footerFont = font;
    footerFont.setPointSizeF(9);
    const qreal footer = QFontMetricsF(footerFont, &device).height() * 2;
    const QSizeF body(page.width(), page.height() - footer);
    doc.setPageSize(body);

    const int pages = doc.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !device.newPage())
            throw SheetError(QStringLiteral("A new page could not be started"));
        painter.save();
        const QRectF shown(0, i * body.height(), body.width(), body.height());
        painter.translate(0, -shown.top());
        painter.setClipRect(shown);
        QAbstractTextDocumentLayout::PaintContext context;
        // A block that starts exactly at the next page's top (a page break)
        // touches this page's rectangle: the layout would write its text
        // here too, clipped out of sight but still in the PDF's text.
        context.clip = shown.adjusted(0, 1, 0, -1);
        doc.documentLayout()->draw(&painter, context);
        painter.restore();
        painter.setFont(footerFont);
        painter.drawText(QRectF(0, body.height(), body.width(), footer), Qt::AlignHCenter | Qt::AlignBottom,
                         QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
    }
    painter.end();
}

void writePdf(const QString& fileName, const std::vector<PrintedSheet>& sheets)
{
    // Made in memory, so that it can be seen to end as a PDF ends before any
    // of it reaches the disk; QPdfWriter reports no failed write.
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setCreator(QStringLiteral("Valdane Campaign Database"));
        if (sheets.size() == 1)
            writer.setTitle(sheets.front().texts.characterName);
        else if (!sheets.empty())
            writer.setTitle(sheets.front().texts.gameName);
        printSheets(writer, sheets);
    }
    if (!pdf.startsWith("%PDF-") || !pdf.trimmed().endsWith("%%EOF"))
        throw SheetError(app::cannotWrite(fileName, QStringLiteral("the PDF was not made whole")));
    // An error on the way leaves the temporary file uncommitted: it goes.
    QSaveFile file(fileName);
    QString refused = app::writeAside(file, pdf);
    if (refused.isEmpty())
        refused = app::putInPlace(file);
    if (!refused.isEmpty())
        throw SheetError(refused);
}

dbaware::SaveRequest pdfSaveRequest(const QString& folder, const QString& characterName)
{
    dbaware::SaveRequest r;
    r.title = QStringLiteral("Save Realm As PDF");
    r.filters = QStringList{QStringLiteral("PDF Files (*.pdf)"), QStringLiteral("All Files (*.*)")};
    r.defaultSuffix = QStringLiteral("pdf");
    r.folder = folder;
    const QString name = app::platform::safeFileName(characterName);
    r.fileName = name.isEmpty() ? name : name + QStringLiteral(".pdf");
    r.confirmOverwrite = true;
    r.refuseReadOnly = true;
    return r;
}

void saveAsPdf(QWidget* window, const std::filesystem::path& saveParent, const PrintedSheet& sheet,
               const std::function<void(const QString&)>& setStatus)
{
    const std::filesystem::path folder = prepareSaveFolder(saveParent);
    const std::optional<QString> file = dbaware::dialogs().saveFileName(
        window, pdfSaveRequest(app::platform::toQString(folder), sheet.texts.characterName));
    if (!file) {
        setStatus(status::canceled);
        return;
    }
    setStatus(status::processing);
    try {
        writePdf(*file, {sheet});
    } catch (...) {
        setStatus(status::failed);
        throw;
    }
    setStatus(status::complete);
}

Printing& printing()
{
    static QtPrinting qt;
    return currentPrinting ? *currentPrinting : qt;
}

void setPrinting(Printing* p) { currentPrinting = p; }

void printSheet(QWidget* window, const PrintedSheet& sheet, const std::function<void(const QString&)>& setStatus)
{
    // Checked before any dialog: a total that is no number is told at once.
    maintenanceTotalLine(sheet.texts.administrationCheck, sheet.texts.maintTotal);
    const bool printed = printing().preview(window, QStringLiteral("Print Realm Sheet"),
                                            [&sheet](QPagedPaintDevice& device) { printSheets(device, {sheet}); });
    setStatus(printed ? status::printComplete : status::printCanceled);
}

}  // namespace sheet
