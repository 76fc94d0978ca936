// The store's one exception and every message it raises, in one place: the
// fixed texts that the windows and tests rely on word for word, and the
// formatted ones with the values they name.
#pragma once
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/utf8.h"

namespace store {

// Every failure of the store reaches its caller as this exception; its text
// is what the user is shown, its code what a caller that treats one failure
// apart from the others tests (the text may change, the code does not).
class StoreError : public std::runtime_error {
public:
    enum class Code {
        Other,
        KeyViolation,      // a record with the key of another
        EmptyDataset,      // no current record to act on
        NotOpen,           // the table or query is closed
        NotEditing,        // a post or field write outside edit or insert
        RecordNotFound,    // a bookmark or record that leads nowhere
        RecordKeyDeleted,  // the record was deleted by another program
        RecordKeyChanged,  // the record was renamed by another program
        ChangedElsewhere,  // a post refused: another program changed the same fields
    };
    explicit StoreError(const std::string& message, Code code = Code::Other)
        : std::runtime_error(message), code_(code)
    {
    }
    Code code() const { return code_; }

private:
    Code code_;
};

namespace msg {

// What the user typed, as a message quotes it: long input (a whole document
// pasted into a number box) is cut after 40 characters, never inside one.
inline std::string excerpt(std::string_view text)
{
    constexpr std::size_t shown = 40;
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;  // inside a character
        if (characters++ == shown)
            return std::string(text.substr(0, i)) + "...";
    }
    return std::string(text);
}

inline constexpr const char* emptyDataset = "Cannot perform this operation on an empty dataset";
inline constexpr const char* keyViolation = "Key violation";
inline constexpr const char* notEditing = "Dataset not in edit or insert mode";
inline constexpr const char* notOpen = "Cannot perform this operation on a closed dataset";
inline constexpr const char* recordNotFound = "Record not found";
inline constexpr const char* recordKeyDeleted = "Record/Key deleted";
// The record is still stored, under another key: another program renamed it.
inline std::string recordKeyChanged(std::string_view key)
{
    return "Another program has renamed this record: it is now stored as " + std::string(key);
}
inline constexpr const char* fieldIndexOutOfRange = "Field index out of range";
inline constexpr const char* otherTable = "Cannot synchronise with a table object on another table";
inline constexpr const char* appendAcrossDatabases = "A batch append needs both tables in one database";

inline std::string fieldNotFound(std::string_view field) { return "Field '" + std::string(field) + "' not found"; }
inline std::string fieldReadOnly(std::string_view field)
{
    return "Field '" + std::string(field) + "' cannot be modified";
}
inline std::string notLogical(std::string_view field)
{
    return "Field '" + std::string(field) + "' is not a logical field";
}
inline std::string tooLong(std::string_view field, int size)
{
    return "Value is too long for field '" + std::string(field) + "': at most " + std::to_string(size) + " characters";
}
inline std::string notInteger(std::string_view text, std::string_view field)
{
    return "'" + excerpt(text) + "' is not a valid integer value for field '" + std::string(field) + "'";
}
// `number`, `low` and `high` are formatted as printf's %g does.
inline std::string outOfRange(std::string_view number, std::string_view field, std::string_view low,
                              std::string_view high)
{
    return excerpt(number) + " is not a valid value for field '" + std::string(field) +
           "'. The allowed range is " + std::string(low) + " to " + std::string(high);
}
inline std::string binaryValue(std::string_view field)
{
    return "Field '" + std::string(field) + "' holds binary data";
}
inline std::string numberInText(std::string_view field)
{
    return "Field '" + std::string(field) + "' holds a number, not text";
}
inline std::string nulInText(std::string_view field)
{
    return "Field '" + std::string(field) + "' holds a NUL character";
}
inline std::string notUtf8(std::string_view field)
{
    return "Field '" + std::string(field) + "' holds text that is not valid UTF-8";
}
// A value that the tables cannot hold, with the record that holds it: a
// character record has no `province`.
inline std::string unfitValue(std::string_view table, std::string_view record, std::string_view why)
{
    return std::string(record) + " in table " + std::string(table) + ": " + std::string(why);
}

inline std::string notBoolean(std::string_view text, std::string_view field)
{
    return "'" + excerpt(text) + "' is not a valid boolean value for field '" + std::string(field) + "'";
}
inline std::string prefixNeedsText(std::string_view field)
{
    return "A prefix match needs a text field: " + std::string(field);
}
inline std::string malformedFilter(std::string_view why, std::string_view text)
{
    return "Filter expression incorrect: " + std::string(why) + " in \"" + std::string(text) + "\"";
}
inline std::string keyLookupValues(std::string_view table, std::size_t count)
{
    return "A key lookup on " + std::string(table) + " needs " + std::to_string(count) + " values";
}
inline std::string noKeyLookup(std::string_view table)
{
    return "Table " + std::string(table) + " has no unique key to look up";
}
inline std::string columnsDiffer(std::string_view source, std::string_view destination)
{
    return "The tables " + std::string(source) + " and " + std::string(destination) + " do not have matching columns";
}
// SQLite's own failure while reading or writing a table.
inline std::string cannotRead(std::string_view table, std::string_view why)
{
    return "Cannot read table " + std::string(table) + ": " + std::string(why);
}
inline std::string cannotWrite(std::string_view table, std::string_view why)
{
    return "Cannot write table " + std::string(table) + ": " + std::string(why);
}
// A post refused because another program changed, since editing began, a
// field that this change also sets; `fields` names them ("'A', 'B'").
inline std::string changedElsewhere(std::string_view fields, bool several)
{
    return "Another program changed the field" + std::string(several ? "s " : " ") + std::string(fields) +
           " of this record while you were editing it. Your changes were not saved; the record now shows what is "
           "stored";
}
// A row posted for an owner that is not stored: `record` and `owner` as
// unfitValue names them ("Province 'P' of character 'C' of game 'G'",
// "character 'C' of game 'G'").
inline std::string ownerMissing(std::string_view table, std::string_view record, std::string_view owner)
{
    return std::string(record) + " in table " + std::string(table) + " was not saved: its " + std::string(owner) +
           " is not stored (not saved yet, or renamed or deleted by another program)";
}
inline std::string foreignServerObject(std::string_view server, std::string_view type, std::string_view name)
{
    return "The campaign on the server " + std::string(server) + " cannot be opened: it holds the " +
           std::string(type) + " \"" + excerpt(name) + "\", which this program did not create";
}
inline std::string notYours(std::string_view table, std::string_view role)
{
    return "Cannot write table " + std::string(table) + ": the server keeps this record for the game master or " +
           "another player, and your role " + std::string(role) + " may not change it";
}
inline std::string serverRefusedRead(std::string_view server, std::string_view why)
{
    return "Cannot read the campaign on the server " + std::string(server) + ": " + std::string(why);
}
inline std::string transactionFailed(std::string_view why) { return "Cannot save the changes: " + std::string(why); }

// Opening a table and checking its file.
inline std::string unknownTable(std::string_view table) { return "Table does not exist: " + std::string(table); }
inline std::string cannotOpenTable(std::string_view table, std::string_view why)
{
    return "Table " + std::string(table) + " cannot be opened: " + std::string(why);
}
inline std::string fileMissing(std::string_view table, std::string_view file, std::string_view folder)
{
    return "Table " + std::string(table) + " cannot be opened: the file " + std::string(file) + " is missing from " +
           std::string(folder);
}
inline std::string tableMissing(std::string_view table, std::string_view file)
{
    return "Table " + std::string(table) + " does not exist in " + std::string(file);
}
inline std::string unexpectedColumns(std::string_view table, std::string_view file)
{
    return "Table " + std::string(table) + " in " + std::string(file) + " does not have the expected columns";
}
inline std::string unexpectedKey(std::string_view table, std::string_view file, std::string_view why)
{
    return "Table " + std::string(table) + " in " + std::string(file) + " does not have the expected key: " +
           std::string(why);
}
// An object in a file that the program never creates there (a trigger, a
// view, a virtual table, another table or index): such a file is not used,
// since SQLite would run what the object holds.
inline std::string foreignObject(std::string_view file, std::string_view type, std::string_view name)
{
    // The name is the file's text: bytes that are no UTF-8 show replaced.
    return "The file " + std::string(file) + " cannot be opened: it holds the " + std::string(type) + " \"" +
           excerpt(withInvalidUtf8Replaced(name)) + "\", which this program did not create";
}

// Databases and aliases.
inline std::string cannotCreateFolder(std::string_view folder, std::string_view why)
{
    return "Cannot create the database folder " + std::string(folder) + ": " + std::string(why);
}
inline std::string cannotCreateFile(std::string_view file, std::string_view why)
{
    return "Cannot create " + std::string(file) + ": " + std::string(why);
}
inline std::string cannotOpenDatabase(std::string_view folder, std::string_view why)
{
    return "Cannot open the database in " + std::string(folder) + ": " + std::string(why);
}
// A journal left beside a file by a write to another file (the file was
// replaced by a copy since): it is not played into this one.
inline std::string journalSetAside(std::string_view journal, std::string_view file, std::string_view aside)
{
    return "The journal " + std::string(journal) + " was left by an interrupted write to another file than " +
           std::string(file) + ", so it was not played into it; it was kept as " + std::string(aside);
}
inline std::string journalNotSetAside(std::string_view journal, std::string_view file, std::string_view why)
{
    return "The file " + std::string(file) + " cannot be opened: the journal " + std::string(journal) +
           " beside it belongs to another file and cannot be set aside: " + std::string(why);
}
inline std::string readOnlyFile(std::string_view file)
{
    return "the file " + std::string(file) + " can only be read, not written";
}
inline std::string unknownAlias(std::string_view alias) { return "Unknown database: " + std::string(alias); }
inline std::string aliasWithoutFolder(std::string_view alias)
{
    return "The alias " + std::string(alias) + " names no folder";
}
inline std::string cannotWriteAliases(std::string_view file) { return "Cannot write the alias file " + std::string(file); }
inline std::string cannotReplaceAliases(std::string_view file)
{
    return "Cannot replace the alias file " + std::string(file);
}
inline std::string invalidAliasName(std::string_view alias) { return "Invalid alias name: " + std::string(alias); }
inline std::string invalidAliasParameter(std::string_view alias)
{
    return "Invalid parameter for alias " + std::string(alias);
}

}  // namespace msg

}  // namespace store
