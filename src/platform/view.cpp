#include "platform/view.h"

#include "platform/filterexpression.h"
#include "platform/recordfile.h"
#include "platform/sqlitefile.h"

#include <algorithm>
#include <cstring>

namespace kestrel::platform {

using detail::WalkMode;

View::View(RecordFile& file) : file_(file), order_(FileOrder), walk_(new Walk) {}

View::~View() { delete walk_; }

void View::setOrder(int order)
{
    order_ = order;
    walk_->batch.drop();
}

void View::setFilter(Filter filter)
{
    filter_ = std::move(filter);
    expression_ = nullptr;
}

void View::setFilter(const FilterExpression* expression)
{
    expression_ = expression;
    if (expression) filter_ = [expression] { return expression->evaluate(); };
    else filter_ = {};
}

void View::setRange(int count) { range_ = count < 0 ? 0 : count; }

namespace {
bool validOrder(const RecordFile& f, int order) { return order >= FileOrder && order < int(f.def().keys.size()); }
} // namespace

int View::set()
{
    RecordFile::Impl& d = *file_.d_;
    if (!d.db) return error_ = d.notOpen();
    if (!validOrder(file_, order_)) return error_ = d.done(errc::DriverError);
    d.startWalk(*walk_, order_, order_ < 0 ? WalkMode::Ends : WalkMode::FromValue, d.buffer, 0, range_, d.buffer);
    return error_ = d.done(errc::Ok);
}

int View::setToStart()
{
    RecordFile::Impl& d = *file_.d_;
    if (!d.db) return error_ = d.notOpen();
    if (!validOrder(file_, order_)) return error_ = d.done(errc::DriverError);
    d.startWalk(*walk_, order_, WalkMode::Ends, nullptr, 0, range_, d.buffer);
    return error_ = d.done(errc::Ok);
}

int View::reset(std::string_view pos)
{
    RecordFile::Impl& d = *file_.d_;
    if (!d.db) return error_ = d.notOpen();
    if (!validOrder(file_, order_)) return error_ = d.done(errc::DriverError);
    int order;
    std::int64_t rid;
    std::vector<unsigned char> image;
    bool hasValues;
    if (!d.parsePosition(pos, order, rid, image, hasValues)) return error_ = d.done(errc::NoRecord);
    WalkMode mode = WalkMode::AtPos;
    if (order != order_ || !hasValues) {
        // A position of another order locates its record by identity; the
        // key values of this order are then the record's current ones.
        int code = d.readByRid(rid, image.data(), nullptr);
        if (code == errc::NoRecord) mode = WalkMode::Ends;
        else if (code) return error_ = code;
    }
    d.startWalk(*walk_, order_, mode, image.data(), rid, range_, d.buffer);
    return error_ = d.done(errc::Ok);
}

int View::next() { return step(+1); }
int View::previous() { return step(-1); }

int View::step(int direction)
{
    RecordFile::Impl& d = *file_.d_;
    if (!d.db) return error_ = d.notOpen();
    if (d.injected(faults::Operation::Read)) return error_ = d.error;
    if (!filter_) return error_ = d.step(*walk_, direction);

    // Records the filter refuses must not show: at the end of the walk the
    // buffer and the current record are what they were before the call.
    const std::size_t len = std::size_t(d.def.recordLength);
    std::vector<unsigned char> savedBuffer(d.buffer, d.buffer + len);
    std::vector<unsigned char> savedImage = d.currentImage;
    const bool savedHas = d.hasCurrent, savedWatched = d.watched, savedArmed = d.watchArmed;
    const std::int64_t savedRid = d.currentRid, savedVersion = d.currentVersion;
    for (;;) {
        int code = d.step(*walk_, direction);
        if (code == errc::Ok) {
            if (filter_()) return error_ = code;
            d.watchArmed = savedArmed;
            continue;
        }
        std::memcpy(d.buffer, savedBuffer.data(), len);
        d.currentImage = std::move(savedImage);
        d.hasCurrent = savedHas;
        d.watched = savedWatched;
        d.watchArmed = savedArmed;
        d.currentRid = savedRid;
        d.currentVersion = savedVersion;
        return error_ = code;
    }
}

std::optional<int> View::sum(const std::vector<int>& fields, std::vector<Decimal>& sums)
{
    RecordFile::Impl& d = *file_.d_;
    std::optional<SqlCondition> condition;
    if (!filter_) {
        condition = SqlCondition{"1", {}};
    } else if (expression_) {
        const auto column = [&d](const FieldDef& f) { return d.layout.columnOf(int(&f - d.def.fields.data())); };
        condition = expression_->sql(d.def, d.buffer, column);
    }
    if (!condition) return std::nullopt;
    if (!d.db) return error_ = d.notOpen();
    if (!validOrder(file_, order_)) return error_ = d.done(errc::DriverError);
    if (d.injected(faults::Operation::Read)) return error_ = d.error;

    const int range = order_ < 0 ? 0 : std::min(range_, d.layout.componentCount(order_));
    int rc = SQLITE_OK;
    const detail::Statement st =
        detail::prepare(d.route.db, d.layout.sum(d.route.schema, order_, range, fields, condition->text), rc);
    if (!st) return error_ = d.sqlFailure(rc, d.route.db);
    int p = 1;
    for (int i = 0; i < range; ++i) d.bindKeyPart(st.get(), p++, order_, i, d.buffer);
    for (const auto& v : condition->parameters) {
        if (const auto* n = std::get_if<std::int64_t>(&v)) {
            sqlite3_bind_int64(st.get(), p++, *n);
        } else {
            const std::string& t = std::get<std::string>(v);
            sqlite3_bind_text(st.get(), p++, t.data(), int(t.size()), SQLITE_TRANSIENT);
        }
    }
    rc = sqlite3_step(st.get());
    if (rc != SQLITE_ROW) return error_ = d.sqlFailure(rc, d.route.db);
    sums.clear();
    for (std::size_t i = 0; i < fields.size(); ++i)
        sums.push_back(Decimal::fromUnits(sqlite3_column_int64(st.get(), int(i)),
                                          d.def.fields[std::size_t(fields[i])].places));
    return error_ = d.done(errc::Ok);
}

std::string View::position() const
{
    if (!validOrder(file_, order_)) return {};
    return file_.d_->positionOf(order_);
}

} // namespace kestrel::platform
