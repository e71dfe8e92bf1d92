#pragma once
// How procedures call one another: the caller sets CallRequest immediately
// before the call and reads CallResponse immediately after it returns; the
// record travels in the file's record buffer. Every procedure runs on the GUI
// thread, so one pair serves the whole process.

namespace kestrel::shell {

// The numbers are those the procedures have always exchanged.
enum class Request { None = 0, Insert = 1, Change = 2, Delete = 3, Select = 4 };
enum class Response { None = 0, Completed = 1, Cancelled = 2 };

inline Request CallRequest = Request::None;
inline Response CallResponse = Response::None;

// The request as a called procedure holds it: taken over on entry (copied,
// then both globals cleared so procedures it calls start clean) and handed
// back on return (a response of 0 counts as Cancelled).
struct CallState {
    Request localRequest = Request::None;
    Request entryRequest = Request::None;
    Response localResponse = Response::Cancelled;

    static CallState takeOver()
    {
        CallState s;
        s.localRequest = s.entryRequest = CallRequest;
        s.localResponse = Response::Cancelled;
        CallRequest = Request::None;
        CallResponse = Response::None;
        return s;
    }
    void giveBack() const { CallResponse = localResponse == Response::None ? Response::Cancelled : localResponse; }
};

inline void clearCallProtocol()
{
    CallRequest = Request::None;
    CallResponse = Response::None;
}

} // namespace kestrel::shell
