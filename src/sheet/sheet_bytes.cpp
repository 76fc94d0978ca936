#include "sheet/realm_sheet.h"

#include <memory>
#include <string>
#include <string_view>

#include "dbaware/dbmemo.h"
#include "sheet/armies_lines.h"
#include "sheet/province_fields.h"
#include "sheet/sheet_lines.h"
#include "sheet/vdtemp.h"
#include "store/query.h"

namespace sheet {

namespace {

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

}  // namespace sheet
