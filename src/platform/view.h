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

#include "platform/decimal.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrel::platform {

class FilterExpression;
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
    // A compiled expression over the file's buffer as the filter (it must
    // outlive the view), so that sum() can select in the driver.
    void setFilter(const FilterExpression* expression);
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

    // Sums of packed fields (indices of the file's fields) over every record
    // the view delivers from its start, range values taken from the buffer
    // now, each exact in its field's places, computed by the database
    // without reading the records out. The view's walk, the buffer and the
    // current record are untouched. 0 or an error (a read error counts as
    // one read); nullopt when the filter has no SQL form (a plain callable,
    // or an expression that needs record-by-record evaluation): then walk.
    std::optional<int> sum(const std::vector<int>& fields, std::vector<Decimal>& sums);

    struct Walk;

private:
    int step(int direction);

    RecordFile& file_;
    int order_;
    int range_ = 0;
    Filter filter_;
    const FilterExpression* expression_ = nullptr;
    int error_ = 0;
    Walk* walk_;
};

} // namespace kestrel::platform
