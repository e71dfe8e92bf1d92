#pragma once
// A view: a walk over one record file in one key order (or file order) that
// delivers only the records a filter accepts, and optionally only those whose
// leading key components equal given values (a range, e.g. the claims of one
// patient), stopping at the end of that range instead of reading on.
//
// A view has a walk of its own, independent of the file's and of other views
// on the same file; the records it reads become the file's current record, in
// the file's record buffer, so put()/remove()/position() of the file apply to
// them.

#include <functional>
#include <string>
#include <string_view>

namespace kestrel::platform {

class RecordFile;

class View {
public:
    // Evaluated with the record just read in the file's buffer.
    using Filter = std::function<bool()>;

    explicit View(RecordFile& file);
    ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    RecordFile& file() const { return file_; }

    // The order of the walk: a key index of the file, or FileOrder.
    void setOrder(int order);
    int order() const { return order_; }
    // No filter: every record of the order.
    void setFilter(Filter filter);
    // The first `count` components of the key are held at the values the
    // buffer has when set()/reset() is called; 0 for no range. Ignored in
    // file order.
    void setRange(int count);
    int range() const { return range_; }

    // Start at the key values in the buffer (first entry not below for next,
    // not above for previous).
    int set();
    // Start at the ends of the order (or of the range): next from the first,
    // previous from the last.
    int setToStart();
    // Start at a position: next/previous first deliver that record if it
    // still exists and is accepted, else go on from where it stood.
    int reset(std::string_view pos);

    // The next/previous accepted record into the buffer; 33 at the end (the
    // buffer and the file's current record are then left as they were).
    int next();
    int previous();

    // Position of the file's current record in this view's order.
    std::string position() const;

    int error() const { return error_; }

    struct Walk;

private:
    int step(int direction);

    RecordFile& file_;
    int order_;
    int range_ = 0;
    Filter filter_;
    int error_ = 0;
    Walk* walk_;
};

} // namespace kestrel::platform
