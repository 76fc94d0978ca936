#include "campaign/csv.h"

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/query.h"

namespace campaign::csv {

QString field(const QString& text)
{
    static const QString special = QStringLiteral("\",\r\n");
    bool quote = false;
    for (QChar c : text)
        quote = quote || special.contains(c);
    if (!quote)
        return text;
    QString out = text;
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
    doc.bytes = record(header);
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
