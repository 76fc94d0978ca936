// The sheet's file, the save folder and the save dialog's settings.
#include "sheet_fixture.h"

#include <fstream>

#include "store/fixture.h"

using namespace sheet_testing;
namespace fs = std::filesystem;

namespace {

class SheetFileTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return QString::fromStdString((temp_.path() / name).string()); }
    testing_support::TempFolder temp_;
};

void writeExample(sheet::SheetFile& file)
{
    sheet::writeSheet(exampleTexts(), canned(exampleRows(), exampleArmies()),
                      [&file](const QString& l) { file.writeLine(l); });
}

}  // namespace

TEST_F(SheetFileTest, WorkedExampleByteForByte)
{
    sheet::SheetFile file(path("Aldric.txt"));
    writeExample(file);
    file.close();
    const QByteArray bytes = readAll(temp_.path() / "Aldric.txt");
    EXPECT_EQ(bytes, fileBytes(exampleSheet));
    EXPECT_TRUE(bytes.startsWith("Realm Sheet for Realm Details\r\n\r\nF7/P3")) << "no byte-order mark";
    EXPECT_TRUE(bytes.endsWith("Owes the river guild a favour\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nCurrent Resources: \r\n")) << "the trailing blank stays";
    EXPECT_EQ(bytes.count('\n'), exampleSheet.size());
    EXPECT_EQ(bytes.count('\r'), exampleSheet.size());
}

TEST_F(SheetFileTest, AnExistingFileIsEmptiedAndOverwritten)
{
    {
        std::ofstream old(temp_.path() / "old.txt", std::ios::binary);
        old << std::string(10000, 'x');
    }
    sheet::SheetFile file(path("old.txt"));
    file.writeLine("one");
    file.writeLine("");
    file.close();
    EXPECT_EQ(readAll(temp_.path() / "old.txt"), QByteArray("one\r\n\r\n"));
}

TEST_F(SheetFileTest, TextIsWrittenInTheSystemsEncoding)
{
    sheet::SheetFile file(path("enc.txt"));
    file.writeLine(QString::fromUtf8("Ærøskøbing, \u00e9t\u00e9"));
    file.close();
    const QByteArray bytes = readAll(temp_.path() / "enc.txt");
#ifdef _WIN32
    // The ANSI code page: one byte a character for these.
    EXPECT_EQ(bytes.size(), 19);
#else
    // Qt runs on a UTF-8 locale here, switching to one when started on another.
    EXPECT_EQ(bytes, QByteArray("\xc3\x86r\xc3\xb8sk\xc3\xb8" "bing, \xc3\xa9t\xc3\xa9\r\n"));
#endif
}

TEST_F(SheetFileTest, AFileThatCannotBeCreatedIsAnErrorAndNothingIsMade)
{
    fs::create_directories(temp_.path() / "folder.txt");
    for (const QString& bad : {path("folder.txt"), path("missing/sub/sheet.txt")}) {
        try {
            sheet::SheetFile file(bad);
            ADD_FAILURE() << "opened " << bad.toStdString();
        } catch (const sheet::SheetError& e) {
            EXPECT_STRNE(e.what(), "") << "the system's text for the failure";
        }
    }
    EXPECT_FALSE(fs::exists(temp_.path() / "missing"));
    EXPECT_TRUE(fs::is_directory(temp_.path() / "folder.txt"));
}

TEST_F(SheetFileTest, AWriteThatFailsIsAnErrorAtThatLine)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no device that is always full here";
    sheet::SheetFile file("/dev/full");  // every write fails: the disk is full
    int written = 0;
    try {
        sheet::writeSheet(exampleTexts(), canned(exampleRows(), exampleArmies()), [&](const QString& l) {
            file.writeLine(l);
            ++written;
        });
        ADD_FAILURE() << "the sheet was reported written";
    } catch (const sheet::SheetError& e) {
        EXPECT_EQ(std::string(e.what()), "No space left on device");
    }
    EXPECT_EQ(written, 0) << "the first line already fails and the sheet stops";
}

TEST_F(SheetFileTest, SaveFolderBesideTheProgramIsMadeWhenMissing)
{
    const fs::path program = temp_.path() / "install" / "bin";  // not there yet either
    const fs::path save = sheet::prepareSaveFolder(program);
    EXPECT_EQ(save, program / "Save");
    EXPECT_TRUE(fs::is_directory(save));

    // Made once, kept with what it holds.
    std::ofstream(save / "kept.txt") << "x";
    EXPECT_EQ(sheet::prepareSaveFolder(program), save);
    EXPECT_TRUE(fs::exists(save / "kept.txt"));
}

TEST_F(SheetFileTest, ASaveFolderThatCannotBeMadeIsIgnored)
{
    // A file where the program folder should be: nothing can be made below it.
    std::ofstream(temp_.path() / "notafolder") << "x";
    fs::path save;
    EXPECT_NO_THROW(save = sheet::prepareSaveFolder(temp_.path() / "notafolder"));
    EXPECT_EQ(save, temp_.path() / "notafolder" / "Save");
    EXPECT_FALSE(fs::exists(save));
}

TEST_F(SheetFileTest, SaveDialogSettings)
{
    const dbaware::SaveRequest r = sheet::saveRequest("/prog/Save", " Aldric ");
    EXPECT_EQ(r.title, "Save Realm To:");
    EXPECT_EQ(r.filters, (QStringList{"Text Files (*.txt)", "All Files (*.*)"}));
    EXPECT_EQ(r.defaultSuffix, "txt");
    EXPECT_EQ(r.folder, "/prog/Save");
    EXPECT_EQ(r.fileName, " Aldric ") << "the name as shown, untrimmed";
    EXPECT_TRUE(r.confirmOverwrite);
    EXPECT_TRUE(r.refuseReadOnly);
}
