#include "data/messages.h"

#include "platform/recordfile.h"

#include <QRegularExpression>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace kestrel::data {

namespace {

constexpr Buttons OK = int(Button::Ok);
constexpr Buttons YES_NO = Button::Yes | Button::No;
constexpr Buttons YES_NO_CANCEL = Button::Yes | Button::No | Button::Cancel;
constexpr Buttons RETRY_CANCEL = Button::Retry | Button::Cancel;
constexpr Buttons OK_CANCEL = Button::Ok | Button::Cancel;
constexpr Icon A = Icon::Information;
constexpr Icon B = Icon::Exclamation;

// clang-format off
constexpr MessageDef table[] = {
//   No. Title                        Text
//       Buttons        Default          Icon After
    {1,  "Invalid File",              "Error: ({error}) accessing {text1}.  Press OK to end this application.",
         OK,            Button::Ok,      A,   Ends::Always, "Invalid File!"},
    {2,  "Invalid Key",               "{text1} key file is invalid.  Do you want to rebuild the key?",
         YES_NO,        Button::Yes,     B,   Ends::OnNo,   "Invalid Key!"},
    {3,  "Key Rebuild Error",         "Error: ({error}) repairing key for {text1}.  Press OK to end this application.",
         OK,            Button::Ok,      A,   Ends::Always, "Error Rebuilding Key!"},
    {4,  "File Creation Error",       "Error: ({error}) creating {text1}.  Press OK to end this application.",
         OK,            Button::Ok,      A,   Ends::Always, "File Creation Error!"},
    {5,  "File Creation Error",       "Error: ({error}) opening created file:{text1}.  Press OK to end this application.",
         OK,            Button::Ok,      A,   Ends::Always, "File Creation Error!"},
    {14, "Record Insert Error",       "An error was experienced during the update of record.  Error: {error}.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {15, "Update Operation Error",    "An error ({error}) was experienced when attempting to update a record from the file.  Probable Cause: {text1}.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {16, "Record Update Error",       "An error was experienced changing this record.  Do you want to try to save again?",
         YES_NO_CANCEL, Button::Cancel,  A,   Ends::Never,  ""},
    {17, "Delete Operation Error",    "An error ({error}) was experienced when attempting to delete a record from the file {text1}.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {18, "Record Update Error",       "An error was experienced deleting this record.  Do you want to try to save again?",
         YES_NO_CANCEL, Button::Cancel,  A,   Ends::Never,  ""},
    {24, "Duplicate Key Error",       "Adding this record creates a duplicate entry for the key:{text1}",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {25, "Auto Increment Error",      "Attempts to automatically number this record have failed.  Error: {error}.",
         RETRY_CANCEL,  Button::Cancel,  A,   Ends::Never,  ""},
    {30, "File Access Error",         "File ({text1}) could not be opened.  Error: {error}.",
         OK,            Button::Ok,      A,   Ends::Always, "Disk Error"},
    {32, "Confirm Delete",            "You've selected to delete the highlighted record.  Press OK to confirm deletion of this record.",
         OK_CANCEL,     Button::Cancel,  B,   Ends::Never,  ""},
    {34, "Transaction Framing Error", "Error: ({error}) attempting to frame the {text1lower} transaction on {text2}.  {text1} transaction cancelled.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {35, "Record Retrieval Error",    "Error: ({error}) attempting to access a record from the {text1} file.  Returning to previous window.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {36, "View Open Error",           "Error: ({error}) attempting to open the current VIEW. Filter and Range Limits ignored.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {38, "Record Was Not Updated",    "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' to recall your changes.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
    {39, "Record Was Deleted",        "This record was deleted by another station, so your changes could not be saved.  They stay on the screen until you leave this window.",
         OK,            Button::Ok,      A,   Ends::Never,  ""},
};
// clang-format on

QString withoutTrailingBlanks(QString s)
{
    qsizetype n = s.size();
    while (n > 0 && s[n - 1] == u' ') --n;
    s.truncate(n);
    return s;
}

std::mutex savedMutex;
ErrorRecord saved;

ConsoleMessageService consoleService;
std::atomic<MessageService*> active{&consoleService};

} // namespace

std::span<const MessageDef> messageTable() { return table; }

// Every named message is a row of the table.
constexpr bool inTable(MessageNo n)
{
    for (const auto& m : table)
        if (m.number == int(n)) return true;
    return false;
}
static_assert(inTable(MessageNo::InvalidFile) && inTable(MessageNo::InvalidKey) && inTable(MessageNo::KeyRebuildError) &&
              inTable(MessageNo::FileCreationError) && inTable(MessageNo::CreatedFileOpenError) &&
              inTable(MessageNo::RecordInsertError) && inTable(MessageNo::UpdateOperationError) &&
              inTable(MessageNo::RecordUpdateError) && inTable(MessageNo::DeleteOperationError) &&
              inTable(MessageNo::RecordDeleteError) && inTable(MessageNo::DuplicateKeyError) &&
              inTable(MessageNo::AutoIncrementError) && inTable(MessageNo::FileAccessError) &&
              inTable(MessageNo::ConfirmDelete) && inTable(MessageNo::TransactionFramingError) &&
              inTable(MessageNo::RecordRetrievalError) && inTable(MessageNo::ViewOpenError) &&
              inTable(MessageNo::RecordWasNotUpdated) && inTable(MessageNo::RecordWasDeleted));

const MessageDef* findMessage(int number)
{
    for (const auto& m : table)
        if (m.number == number) return &m;
    return nullptr;
}

QString errorDescription(const ErrorRecord& e)
{
    if (e.code == RefusedError) return withoutTrailingBlanks(e.text);
    if (e.code == 90)
        return withoutTrailingBlanks(e.driverMessage) + QStringLiteral(" (") + QString::number(e.driverCode) + u')';
    return withoutTrailingBlanks(e.text) + QStringLiteral(" (") + QString::number(e.code) + u')';
}

Message composeMessage(const MessageDef& def, const QString& text1, const QString& text2,
                       const QString& error)
{
    const QString t1 = withoutTrailingBlanks(text1);
    QString text = QString::fromUtf8(def.text.data(), qsizetype(def.text.size()));
    // One pass over the template, so that a placeholder-like sequence inside
    // a caller's text (a path with braces) is left as it stands.
    QString out;
    out.reserve(text.size() + t1.size() + error.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u'{') {
            qsizetype close = text.indexOf(u'}', i);
            if (close > i) {
                const QStringView name = QStringView(text).mid(i + 1, close - i - 1);
                bool known = true;
                if (name == u"text1") out += t1;
                else if (name == u"text1lower") out += t1.toLower();
                else if (name == u"text2") out += withoutTrailingBlanks(text2);
                else if (name == u"error") out += error;
                else known = false;
                if (known) {
                    i = close + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return {&def, QString::fromUtf8(def.title.data(), qsizetype(def.title.size())), out};
}

MessageService::~MessageService() = default;

Button MessageService::show(MessageNo message, const QString& text1, const QString& text2)
{
    return show(int(message), text1, text2);
}

Button MessageService::show(int number, const QString& text1, const QString& text2)
{
    const MessageDef* def = findMessage(number);
    if (!def) throw std::invalid_argument("no standard message " + std::to_string(number));
    // Every message uses up the saved error: it was captured for this report
    // and must not resurface in a later, unrelated one.
    std::optional<ErrorRecord> savedError = takeSavedError();
    const ErrorRecord e = savedError ? *savedError : currentError();
    const Message m = composeMessage(*def, text1, text2, errorDescription(e));
    Button answer = present(m);
    const bool ends = def->ends == Ends::Always || (def->ends == Ends::OnNo && answer == Button::No);
    if (ends) {
        const QString finalText = QString::fromUtf8(def->finalText.data(), qsizetype(def->finalText.size()));
        endProgram(m, finalText);
        throw ProgramEnded(number, finalText);
    }
    return answer;
}

Button MessageService::ask(const QString& title, const QString& text)
{
    static constexpr MessageDef kQuestion{0, "", "", Button::Yes | Button::No, Button::Yes, Icon::Information, Ends::Never, ""};
    return present(Message{&kQuestion, title, text});
}

ConsoleMessageService::ConsoleMessageService(std::FILE* out, void (*exitFn)(int))
    : out_(out), exit_(exitFn ? exitFn : &std::exit)
{
}

namespace {
// A terminal has no buttons: the sentence asking for one ("Press OK to end
// this application.") is left out, and a question says how it was answered.
QString consoleText(const Message& m)
{
    static const QRegularExpression pressButton(QStringLiteral("\\s*Press OK [^.]*\\."));
    QString text = m.text;
    text.remove(pressButton);
    if (m.def->buttons != int(m.def->defaultButton)) {
        static const std::pair<Button, const char*> names[] = {
            {Button::Ok, "OK"}, {Button::Yes, "Yes"}, {Button::No, "No"}, {Button::Retry, "Retry"}, {Button::Cancel, "Cancel"}};
        for (const auto& [button, name] : names)
            if (button == m.def->defaultButton) text += QStringLiteral(" (answered %1)").arg(QLatin1String(name));
    }
    return text;
}
} // namespace

Button ConsoleMessageService::present(const Message& m)
{
    std::FILE* out = out_ ? out_ : stderr;
    std::fprintf(out, "%s: %s\n", m.title.toLocal8Bit().constData(), consoleText(m).toLocal8Bit().constData());
    std::fflush(out);
    return m.def->defaultButton;
}

void ConsoleMessageService::endProgram(const Message&, const QString& finalText)
{
    std::FILE* out = out_ ? out_ : stderr;
    std::fprintf(out, "%s\n", finalText.toLocal8Bit().constData());
    std::fflush(out);
    exit_(EXIT_FAILURE);
}

MessageService* setMessageService(MessageService* service)
{
    return active.exchange(service ? service : &consoleService);
}

MessageService& messageService() { return *active; }

Button standardMessage(MessageNo message, const QString& text1, const QString& text2)
{
    return messageService().show(message, text1, text2);
}

Button standardMessage(int number, const QString& text1, const QString& text2)
{
    return messageService().show(number, text1, text2);
}

void saveError(const ErrorRecord& e)
{
    std::lock_guard lock(savedMutex);
    saved = e;
    // The saved record holds at most 255 characters of each text.
    saved.text.truncate(255);
    saved.driverMessage.truncate(255);
}

std::optional<ErrorRecord> takeSavedError()
{
    std::lock_guard lock(savedMutex);
    if (saved.code == 0) return std::nullopt;
    ErrorRecord e = std::move(saved);
    saved = ErrorRecord{};
    return e;
}

ErrorRecord currentError()
{
    const platform::LastError& e = platform::driverErrors.last();
    return {e.code, QString::fromStdString(e.text), e.driverCode, QString::fromStdString(e.driverMessage)};
}

} // namespace kestrel::data
