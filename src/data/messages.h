#pragma once
// The standard messages: the numbered table of every file and update error,
// the delete confirmation and the changed-by-another-station notice, and the
// one message service through which all of them are shown.
//
// A procedure calls standardMessage(MessageNo::..., text1, text2) and gets back the
// button the user pressed (OK 1, Yes 2, No 4, Retry 16, Cancel 64). How the
// message reaches the user is the service's business: message boxes in the
// program, standard error in the command-line subcommands, a scripted queue
// of answers in the tests. A message that ends the program never returns to
// its caller.
//
// The saved error: a failed write inside a transaction is captured (code,
// text, driver code and message) before the rollback, so that the next
// message reports the write's error and not the rollback's. The saved error
// is used by one message and then emptied; without one, messages report the
// record file driver's current last error.

#include <QString>

#include <cstdio>
#include <exception>
#include <optional>
#include <span>
#include <string_view>

namespace kestrel::data {

// Buttons, with the values callers compare against.
enum class Button : int { None = 0, Ok = 1, Yes = 2, No = 4, Retry = 16, Cancel = 64 };
// A set of buttons: Button values or-ed together.
using Buttons = int;
constexpr Buttons operator|(Button a, Button b) { return int(a) | int(b); }
constexpr Buttons operator|(Buttons a, Button b) { return a | int(b); }

// The two icon kinds of the table: A information (asterisk), B exclamation.
enum class Icon { Information, Exclamation };

// Whether a message ends the program once the user has closed it.
enum class Ends { Never, Always, OnNo };

// One row of the table. Placeholders in `text`: {text1} and {text2} are the
// caller's texts without trailing blanks, {text1lower} the first in lower
// case, {error} the error description.
struct MessageDef {
    int number;
    std::string_view title;
    std::string_view text;
    Buttons buttons;
    Button defaultButton;
    Icon icon;
    Ends ends;
    std::string_view finalText;  // shown when the message ends the program
};

// The messages by name, each carrying its number in the table.
enum class MessageNo : int {
    InvalidFile = 1,
    InvalidKey = 2,
    KeyRebuildError = 3,
    FileCreationError = 4,
    CreatedFileOpenError = 5,
    RecordInsertError = 14,
    UpdateOperationError = 15,
    RecordUpdateError = 16,
    DeleteOperationError = 17,
    RecordDeleteError = 18,
    DuplicateKeyError = 24,
    AutoIncrementError = 25,
    FileAccessError = 30,
    ConfirmDelete = 32,
    TransactionFramingError = 34,
    RecordRetrievalError = 35,
    ViewOpenError = 36,
    RecordWasNotUpdated = 38,
    RecordWasDeleted = 39,
};

// Every message the program shows, and no others.
std::span<const MessageDef> messageTable();
// The row of `number`, or nullptr when there is no such message.
const MessageDef* findMessage(int number);

// Code of an error that is the program's own refusal (a value that does not
// fit where it must go), not the driver's: it has no number to show.
constexpr int RefusedError = -1;

// An error as the record file driver reports it.
struct ErrorRecord {
    int code = 0;
    QString text;        // the driver's text for `code`
    int driverCode = 0;  // for code 90: the underlying driver's own code
    QString driverMessage;
};

// «error»: the error text without trailing blanks, a blank, and the code in
// parentheses; for a driver error (90) the driver's own message and code
// instead, since "90" alone tells the support person nothing. A refusal is
// its text alone.
QString errorDescription(const ErrorRecord& e);

// The message as it will be shown, texts filled in.
struct Message {
    const MessageDef* def = nullptr;
    QString title;
    QString text;
};

// Fills in the row's placeholders.
Message composeMessage(const MessageDef& def, const QString& text1, const QString& text2,
                       const QString& error);

// Thrown by MessageService::show when a message ended the program but the
// service's end step returned (tests; the real services leave the process).
// Callers never continue after an ending message.
class ProgramEnded : public std::exception {
public:
    ProgramEnded(int number, QString finalText)
        : number_(number), finalText_(std::move(finalText)) {}
    int number() const { return number_; }
    const QString& finalText() const { return finalText_; }
    const char* what() const noexcept override { return "the program was ended by a standard message"; }

private:
    int number_;
    QString finalText_;
};

// Where standard messages are shown. show() composes the message, asks the
// implementation to present it and, when the answer ends the program, runs
// the implementation's end step (which does not come back).
class MessageService {
public:
    virtual ~MessageService();

    // Returns the button pressed. {error} is described from the saved error,
    // which every message empties (it was captured for this report), or
    // else from the driver's current error. An unknown number is a
    // programming error and throws std::invalid_argument.
    Button show(MessageNo message, const QString& text1 = {}, const QString& text2 = {});
    // By the number alone, as the table lists it (what walks the table).
    Button show(int number, const QString& text1 = {}, const QString& text2 = {});
    // A question of the program's own, outside the table (number 0): Yes
    // and No, Yes the default, the information icon. Returns Yes or No.
    Button ask(const QString& title, const QString& text);

protected:
    // Shows the message and returns the button pressed; must return one of
    // the row's buttons.
    virtual Button present(const Message& m) = 0;
    // Ends the program after an ending message, showing or printing the
    // final text; exits with a non-zero status. Implementations used in
    // tests may return, and show() then throws ProgramEnded.
    virtual void endProgram(const Message& m, const QString& finalText) = 0;
};

// Prints each message to standard error and answers with its default
// button: the command-line subcommands have nobody to ask. Ending prints the
// final text and exits with status 1.
class ConsoleMessageService : public MessageService {
public:
    // `out` defaults to stderr; `exitFn` to std::exit.
    explicit ConsoleMessageService(std::FILE* out = nullptr, void (*exitFn)(int) = nullptr);

protected:
    Button present(const Message& m) override;
    void endProgram(const Message& m, const QString& finalText) override;

private:
    std::FILE* out_;
    void (*exit_)(int);
};

// The active service. Standard messages are raised from everywhere (file
// access, the integrity operations, every window), so the service is a
// process-wide setting: a plain pointer, the console service until the
// program or a test installs its own. Passing nullptr restores the console
// service. Returns the previous one.
MessageService* setMessageService(MessageService* service);
MessageService& messageService();

// The standard message procedure: messageService().show(...).
Button standardMessage(MessageNo message, const QString& text1 = {}, const QString& text2 = {});
Button standardMessage(int number, const QString& text1 = {}, const QString& text2 = {});

// The saved error.
void saveError(const ErrorRecord& e);
// Returns the saved error and empties it; nothing when none is saved (code 0).
std::optional<ErrorRecord> takeSavedError();
// The record file driver's current last error.
ErrorRecord currentError();

} // namespace kestrel::data
