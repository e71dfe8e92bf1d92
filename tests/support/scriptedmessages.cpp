#include "support/scriptedmessages.h"

#include <gtest/gtest.h>

namespace kestrel::test {

ScriptedMessages::ScriptedMessages() : previous_(data::setMessageService(this)) {}

ScriptedMessages::~ScriptedMessages() { data::setMessageService(previous_); }

ScriptedMessages& ScriptedMessages::answer(data::Button b)
{
    queue_.push_back(b);
    return *this;
}

std::vector<int> ScriptedMessages::numbers() const
{
    std::vector<int> out;
    for (const auto& s : shown_) out.push_back(s.number);
    return out;
}

data::Button ScriptedMessages::present(const data::Message& m)
{
    data::Button b = m.def->defaultButton;
    if (!queue_.empty()) {
        b = queue_.front();
        queue_.pop_front();
        if (!(m.def->buttons & int(b)))
            ADD_FAILURE() << "scripted answer " << int(b) << " is not a button of message "
                          << m.def->number;
    }
    shown_.push_back({m.def->number, m.title, m.text, b});
    return b;
}

void ScriptedMessages::endProgram(const data::Message&, const QString& finalText)
{
    ended_ = true;
    endedWith_ = finalText;
}

} // namespace kestrel::test
