#pragma once
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <vector>

#include "dbaware/dialogs.h"
#include "sheet/realm_sheet.h"

class QPagedPaintDevice;
class QTextDocument;
class QWidget;

// The realm sheet on paper: the same texts as the text sheet, laid out for
// pages (a heading, the provinces as a table, memos wrapped by the page,
// numbered pages), printed or written as PDF.
namespace sheet {

// One character's sheet. The memos of `texts` hold their text's lines as
// they stand (split at line breaks only): the page wraps them, not the
// width of a control.
struct PrintedSheet {
    RealmTexts texts;
    std::vector<ProvinceRow> provinces;  // armies included, in the store's order
};

// A memo's text split at its line breaks, as PrintedSheet's memos take it.
QStringList textLines(const QString& text);

// The HTML of the sheets, each character from a new page; every text taken
// from the data is escaped.
QString sheetsHtml(const std::vector<PrintedSheet>& sheets);

// The sheets drawn onto a printer or a PDF writer, with "Page N of M" at the
// foot of each page.
void printSheets(QPagedPaintDevice& device, const std::vector<PrintedSheet>& sheets);

// The sheets as a PDF file. Nothing replaces the file unless it was written
// whole; failures throw SheetError with the system's text.
void writePdf(const QString& fileName, const std::vector<PrintedSheet>& sheets);

// The save dialog of File > Save as PDF: the character's name as the file
// name, in `folder`.
dbaware::SaveRequest pdfSaveRequest(const QString& folder, const QString& characterName);

// File > Save as PDF after the window has gathered its sheet: the dialog in
// the save folder beside the program, then the file; `setStatus` shows the
// progress as the text sheet's save does.
void saveAsPdf(QWidget* window, const std::filesystem::path& saveParent, const PrintedSheet& sheet,
               const std::function<void(const QString&)>& setStatus);

// The print dialog with its preview, behind a seam like the boxes' (the
// real one is Qt's; tests install a stand-in). `paint` draws the pages on the
// device the user prints to; the answer is whether anything was printed.
class Printing {
public:
    virtual ~Printing() = default;
    virtual bool preview(QWidget* parent, const QString& title,
                         const std::function<void(QPagedPaintDevice&)>& paint) = 0;
};
Printing& printing();
// Installs `p` (not owned); nullptr restores Qt's dialog.
void setPrinting(Printing* p);

// File > Print: the sheet in the print preview, printed from there.
void printSheet(QWidget* window, const PrintedSheet& sheet, const std::function<void(const QString&)>& setStatus);

// The status texts while printing.
namespace status {
inline const QString printCanceled = QStringLiteral("Print Canceled");
inline const QString printComplete = QStringLiteral("Print Complete");
}  // namespace status

}  // namespace sheet
