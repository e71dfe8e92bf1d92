#pragma once
// A message service for tests: answers from a queue of scripted buttons
// (the message's default button when the queue is empty), records every
// message shown and, for a message that ends the program, the final text.
// Ending throws data::ProgramEnded out of the code under test, so a test can
// assert on it and every guard on the way out still runs.
//
// Installs itself as the active service while it lives.

#include "data/messages.h"

#include <deque>
#include <vector>

#include <ostream>

// Lets GoogleTest print message texts readably when an expectation fails.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kestrel::test {

class ScriptedMessages : public data::MessageService {
public:
    struct Shown {
        int number = 0;
        QString title;
        QString text;
        data::Button answer = data::Button::None;
    };

    ScriptedMessages();
    ~ScriptedMessages() override;
    ScriptedMessages(const ScriptedMessages&) = delete;
    ScriptedMessages& operator=(const ScriptedMessages&) = delete;

    // Queues the answer to the next message shown.
    ScriptedMessages& answer(data::Button b);

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<int> numbers() const;
    // The final text of the message that ended the program, empty when none.
    const QString& endedWith() const { return endedWith_; }
    bool ended() const { return ended_; }
    // Answers still queued (a test that scripted more than was asked).
    std::size_t pending() const { return queue_.size(); }

protected:
    data::Button present(const data::Message& m) override;
    void endProgram(const data::Message& m, const QString& finalText) override;

private:
    data::MessageService* previous_ = nullptr;
    std::deque<data::Button> queue_;
    std::vector<Shown> shown_;
    QString endedWith_;
    bool ended_ = false;
};

} // namespace kestrel::test
