// The standard message table, the error description, the saved error and
// the console service.
#include "data/messages.h"
#include "support/scriptedmessages.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

using namespace kestrel;
using data::Button;
using data::Icon;

namespace {

struct Expected {
    int number;
    const char* title;
    const char* text;
    data::Buttons buttons;
    Button defaultButton;
    Icon icon;
    const char* finalText;  // nullptr: never ends the program
};

const data::ErrorRecord notFound{2, "File Not Found    ", 0, {}};
const QString path = QStringLiteral("/data/Patient.db   ");

// Word for word, as the user sees them, with text1 = path (or "Delete" for
// 34), text2 = "Patient" and the error "File Not Found (2)".
const Expected expected[] = {
    {1, "Invalid File", "Error: (File Not Found (2)) accessing /data/Patient.db.  Press OK to end this application.",
     int(Button::Ok), Button::Ok, Icon::Information, "Invalid File!"},
    {2, "Invalid Key", "/data/Patient.db key file is invalid.  Do you want to rebuild the key?",
     Button::Yes | Button::No, Button::Yes, Icon::Exclamation, "Invalid Key!"},
    {3, "Key Rebuild Error", "Error: (File Not Found (2)) repairing key for /data/Patient.db.  Press OK to end this application.",
     int(Button::Ok), Button::Ok, Icon::Information, "Error Rebuilding Key!"},
    {4, "File Creation Error", "Error: (File Not Found (2)) creating /data/Patient.db.  Press OK to end this application.",
     int(Button::Ok), Button::Ok, Icon::Information, "File Creation Error!"},
    {5, "File Creation Error", "Error: (File Not Found (2)) opening created file:/data/Patient.db.  Press OK to end this application.",
     int(Button::Ok), Button::Ok, Icon::Information, "File Creation Error!"},
    {14, "Record Insert Error", "An error was experienced during the update of record.  Error: File Not Found (2).",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {15, "Update Operation Error", "An error (File Not Found (2)) was experienced when attempting to update a record from the file.  Probable Cause: /data/Patient.db.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {16, "Record Update Error", "An error was experienced changing this record.  Do you want to try to save again?",
     Button::Yes | Button::No | Button::Cancel, Button::Cancel, Icon::Information, nullptr},
    {17, "Delete Operation Error", "An error (File Not Found (2)) was experienced when attempting to delete a record from the file /data/Patient.db.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {18, "Record Update Error", "An error was experienced deleting this record.  Do you want to try to save again?",
     Button::Yes | Button::No | Button::Cancel, Button::Cancel, Icon::Information, nullptr},
    {24, "Duplicate Key Error", "Adding this record creates a duplicate entry for the key:/data/Patient.db",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {25, "Auto Increment Error", "Attempts to automatically number this record have failed.  Error: File Not Found (2).",
     Button::Retry | Button::Cancel, Button::Cancel, Icon::Information, nullptr},
    {30, "File Access Error", "File (/data/Patient.db) could not be opened.  Error: File Not Found (2).",
     int(Button::Ok), Button::Ok, Icon::Information, "Disk Error"},
    {32, "Confirm Delete", "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.",
     Button::Ok | Button::Cancel, Button::Cancel, Icon::Exclamation, nullptr},
    {34, "Transaction Framing Error", "Error: (File Not Found (2)) attempting to frame the delete transaction on Patient.  Delete transaction cancelled.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {35, "Record Retrieval Error", "Error: (File Not Found (2)) attempting to access a record from the /data/Patient.db file.  Returning to previous window.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {36, "View Open Error", "Error: (File Not Found (2)) attempting to open the current VIEW. Filter and Range Limits ignored.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {38, "Record Was Not Updated", "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' to recall your changes.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
    {39, "Record Was Deleted", "This record was deleted by another station, so your changes could not be saved.  They stay on the screen until you leave this window.",
     int(Button::Ok), Button::Ok, Icon::Information, nullptr},
};

} // namespace

TEST(Messages, EveryNumberWordForWordWithItsButtonsIconAndEnding)
{
    std::set<int> seen;
    for (const auto& x : expected) {
        SCOPED_TRACE(x.number);
        seen.insert(x.number);
        const data::MessageDef* def = data::findMessage(x.number);
        ASSERT_NE(def, nullptr);
        EXPECT_EQ(def->buttons, x.buttons);
        EXPECT_EQ(def->defaultButton, x.defaultButton);
        EXPECT_EQ(def->icon, x.icon);

        test::ScriptedMessages script;
        data::saveError(notFound);
        const QString text1 = x.number == 34 ? QStringLiteral("Delete ") : path;
        bool ended = false;
        try {
            Button b = script.show(x.number, text1, QStringLiteral("Patient  "));
            EXPECT_EQ(b, x.defaultButton);
        } catch (const data::ProgramEnded& e) {
            ended = true;
            EXPECT_EQ(e.number(), x.number);
            EXPECT_EQ(e.finalText(), x.finalText ? QString(x.finalText) : QString());
        }
        // Message 2 ends only on No, and its default is Yes.
        EXPECT_EQ(ended, x.finalText != nullptr && x.number != 2);
        ASSERT_EQ(script.shown().size(), 1u);
        EXPECT_EQ(script.shown()[0].title, QString(x.title));
        EXPECT_EQ(script.shown()[0].text, QString::fromUtf8(x.text));
    }
    // The table holds these messages and no others.
    std::set<int> table;
    for (const auto& m : data::messageTable()) table.insert(m.number);
    EXPECT_EQ(table, seen);
}

TEST(Messages, EndingMessagesEndOnTheirAnswerOnly)
{
    test::ScriptedMessages script;
    script.answer(Button::Yes).answer(Button::No);
    EXPECT_EQ(script.show(2, "/d/Item.db"), Button::Yes);
    EXPECT_FALSE(script.ended());
    try {
        script.show(2, "/d/Item.db");
        FAIL() << "No to message 2 must end the program";
    } catch (const data::ProgramEnded& e) {
        EXPECT_EQ(e.finalText(), "Invalid Key!");
    }
    EXPECT_TRUE(script.ended());
    EXPECT_EQ(script.endedWith(), "Invalid Key!");
    EXPECT_EQ(script.numbers(), (std::vector<int>{2, 2}));
}

TEST(Messages, ErrorDescriptionUsesTheDriversOwnCodeAndMessageFor90)
{
    EXPECT_EQ(data::errorDescription({47, "Invalid Data File  ", 0, {}}), "Invalid Data File (47)");
    EXPECT_EQ(data::errorDescription({90, "File System Error", 11, "database disk image is malformed  "}),
              "database disk image is malformed (11)");
    // Only trailing blanks go; leading ones belong to the text.
    EXPECT_EQ(data::errorDescription({33, " Record Not Available", 0, {}}), " Record Not Available (33)");
}

TEST(Messages, SavedErrorIsUsedByTheNextMessageOnly)
{
    test::ScriptedMessages script;
    data::saveError({90, "File System Error", 5, "database is locked"});
    // A message without {error} still uses the saved error up, so that it
    // cannot surface later in a report about something else.
    script.show(38);
    EXPECT_FALSE(data::takeSavedError().has_value());

    data::saveError({40, "Creates Duplicate Key", 0, {}});
    script.show(17, "Invoice");
    EXPECT_EQ(script.shown().back().text,
              "An error (Creates Duplicate Key (40)) was experienced when attempting to delete a "
              "record from the file Invoice.");
    EXPECT_FALSE(data::takeSavedError().has_value());
}

TEST(Messages, SavedTextsAreCutAt255Characters)
{
    data::saveError({90, QString(300, u'x'), 1, QString(400, u'y')});
    auto e = data::takeSavedError();
    ASSERT_TRUE(e);
    EXPECT_EQ(e->text.size(), 255);
    EXPECT_EQ(e->driverMessage.size(), 255);
}

TEST(Messages, CallerTextsAreNotExpandedAsPlaceholders)
{
    test::ScriptedMessages script;
    data::saveError(notFound);
    script.show(17, "{error}/{text2}", "x");
    EXPECT_EQ(script.shown().back().text,
              "An error (File Not Found (2)) was experienced when attempting to delete a record from the file "
              "{error}/{text2}.");
}

TEST(Messages, UnknownNumberIsRefused)
{
    test::ScriptedMessages script;
    EXPECT_THROW(script.show(6), std::invalid_argument);
    EXPECT_TRUE(script.shown().empty());
}

namespace {
int exitStatus = -1;
void recordExit(int status) { exitStatus = status; }
} // namespace

TEST(Messages, ConsoleServicePrintsAndAnswersWithTheDefaultButton)
{
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    data::ConsoleMessageService console(out, &recordExit);
    data::MessageService* previous = data::setMessageService(&console);

    EXPECT_EQ(data::standardMessage(32), Button::Cancel);
    EXPECT_EQ(data::standardMessage(2, "/d/CPT48.db"), Button::Yes);
    exitStatus = -1;
    data::saveError({47, "Invalid Data File", 0, {}});
    EXPECT_THROW(data::standardMessage(1, "/d/CPT48.db"), data::ProgramEnded);
    EXPECT_EQ(exitStatus, 1);
    data::setMessageService(previous);

    std::rewind(out);
    char buf[2048] = {};
    std::size_t n = std::fread(buf, 1, sizeof buf - 1, out);
    std::fclose(out);
    const std::string printed(buf, n);
    EXPECT_EQ(printed,
              "Confirm Delete: You've selected to delete the highlighted record. (answered Cancel)\n"
              "Invalid Key: /d/CPT48.db key file is invalid.  Do you want to rebuild the key? (answered Yes)\n"
              "Invalid File: Error: (Invalid Data File (47)) accessing /d/CPT48.db.\n"
              "Invalid File!\n")
        << "a terminal has no buttons to press";
}

TEST(Messages, ScriptedServiceIsActiveWhileItLivesOnly)
{
    data::MessageService* before = &data::messageService();
    {
        test::ScriptedMessages script;
        EXPECT_EQ(&data::messageService(), &script);
    }
    EXPECT_EQ(&data::messageService(), before);
}
