#pragma once
// How procedures call one another: the caller sets CallRequest immediately
// before the call and reads CallResponse immediately after it returns; the
// record travels in the file's record buffer. Every procedure runs on the GUI
// thread, so one pair serves the whole process.

namespace kestrel::shell {

enum Request : int { NoRequest = 0, InsertRecord = 1, ChangeRecord = 2, DeleteRecord = 3, SelectRecord = 4 };
enum Response : int { NoResponse = 0, RequestCompleted = 1, RequestCancelled = 2 };

inline int CallRequest = NoRequest;
inline int CallResponse = NoResponse;

// The request as a called procedure holds it: taken over on entry (copied,
// then both globals cleared so procedures it calls start clean) and handed
// back on return (a response of 0 counts as Cancelled).
struct CallState {
    int localRequest = NoRequest;
    int entryRequest = NoRequest;
    int localResponse = RequestCancelled;

    static CallState takeOver()
    {
        CallState s;
        s.localRequest = s.entryRequest = CallRequest;
        s.localResponse = RequestCancelled;
        CallRequest = NoRequest;
        CallResponse = NoResponse;
        return s;
    }
    void giveBack() const { CallResponse = localResponse == NoResponse ? RequestCancelled : localResponse; }
};

inline void clearCallProtocol()
{
    CallRequest = NoRequest;
    CallResponse = NoResponse;
}

} // namespace kestrel::shell
