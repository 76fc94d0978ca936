// Comma-separated files for spreadsheets (RFC 4180): a header row of column
// names, CR LF at the end of every record, UTF-8 behind the byte order mark
// that spreadsheets look for (without it LibreOffice takes the file for
// another encoding and "Ærwyn" comes out as "Ã†rwyn").
#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>

namespace store {
class Session;
}

namespace campaign::csv {

// A field as it goes into the file: quoted when it holds a quote, a comma,
// CR or LF, with its quotes doubled; otherwise as it is. One that a
// spreadsheet would run as a formula (it begins with =, +, - or @ and is no
// plain number) is quoted behind an apostrophe, so that it is shown as text.
QString field(const QString& text);

// One record: the fields joined by commas, then CR LF, in UTF-8.
QByteArray record(const QStringList& fields);

struct Document {
    QByteArray bytes;
    int rows = 0;  // records below the header
};

// Every row of one game in a campaign table ("vddb.DB", "vdprovs.db"), in
// the table's order, under a header of its column names in table order. The
// counter that numbers provinces is left out: it means nothing outside the
// database. Memos keep their line breaks, inside the quotes.
Document gameRows(store::Session& session, const char* tableName, const std::string& gameName);

}  // namespace campaign::csv
