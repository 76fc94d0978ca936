#include "campaign/csv.h"

#include <QRegularExpression>

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/query.h"

namespace campaign::csv {

QString field(const QString& text)
{
    // A spreadsheet runs a cell that begins with = + - @ as a formula. A
    // leading apostrophe, inside quotes, makes it text and shows the reader
    // that the value was guarded (a leading tab would change it unseen).
    // Plain numbers (-5, +3) are no formulas and stay numbers.
    static const QString formula = QStringLiteral("=+-@");
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9]+(\\.[0-9]+)?$"));
    const bool guard = !text.isEmpty() && formula.contains(text.front()) && !number.match(text).hasMatch();
    static const QString special = QStringLiteral("\",\r\n");
    bool quote = guard;
    for (QChar c : text)
        quote = quote || special.contains(c);
    if (!quote)
        return text;
    QString out = guard ? QStringLiteral("'") + text : text;
    out.replace(u'"', QStringLiteral("\"\""));
    return u'"' + out + u'"';
}

QByteArray record(const QStringList& fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += u',';
        line += field(fields[i]);
    }
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

Document gameRows(store::Session& session, const char* tableName, const std::string& gameName)
{
    const store::TableLayout* layout = findLayout(tableName);
    QStringList header;
    std::vector<std::string> names;
    for (const store::Column& c : layout->columns) {
        if (c.type == store::ColumnType::AutoInc)
            continue;
        header << QString::fromStdString(c.name);
        names.push_back(c.name);
    }
    Document doc;
    doc.bytes = "\xEF\xBB\xBF" + record(header);
    store::Query query(session);
    query.open(alias, tableName, {{col::GameName, gameName}});
    for (; !query.eof(); query.next()) {
        QStringList values;
        for (const std::string& name : names)
            values << QString::fromStdString(query.text(name));
        doc.bytes += record(values);
        ++doc.rows;
    }
    return doc;
}

}  // namespace campaign::csv
