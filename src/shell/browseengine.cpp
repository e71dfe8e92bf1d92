#include "shell/browseengine.h"

#include "data/bindings.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "platform/cp1252.h"
#include "platform/filterexpression.h"
#include "platform/recordfile.h"
#include "platform/view.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kestrel::shell {

using platform::Decimal;
using platform::FieldDef;
using platform::FieldKind;
using platform::FieldValue;
using platform::FilterExpression;
using platform::View;
namespace errc = platform::errc;

namespace {

std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    return u;
}

} // namespace

// One sort order as the engine runs it: its key, range variables, compiled
// filter and thumb table.
struct BrowseEngine::Order {
    const BrowseOrder* def = nullptr;
    int number = 0;
    int keyIndex = platform::FileOrder;
    std::vector<const FieldDef*> keyFields;
    // Range limit: the parent field of each range variable, the variable
    // holding its value at the last rebuild, the variable's name, and the
    // field of the browsed file it limits.
    std::vector<data::FieldRef> parents;
    std::vector<FieldValue> rangeValues;  // sized once: the filter binds to its elements
    std::vector<std::string> rangeNames;  // upper case
    std::vector<const FieldDef*> children;
    // The leading key parts that hold the range, and the variable of each.
    std::vector<std::size_t> heldBy;
    std::optional<FilterExpression> filter;
    bool filterTried = false;
    // A filter that does not compile is reported once; the order then goes
    // on without filter and range.
    bool filterBroken = false;
    ThumbTable thumb;

    bool fileOrder() const { return keyIndex == platform::FileOrder; }
    bool ranged() const { return !rangeValues.empty() && !filterBroken; }
    // The key part the locator, the thumb and a thumb drag work on: the
    // first one the range does not hold (the date of a claim's lines).
    const FieldDef* locatorField() const
    {
        if (keyFields.empty()) return nullptr;
        return keyFields[std::min(heldBy.size(), keyFields.size() - 1)];
    }
};

BrowseEngine::BrowseEngine(const BrowseDefinition& def) : def_(def)
{
    if (def.file.isEmpty()) throw std::invalid_argument("browse of no file");
    const data::FileBuffer* fb = &def.file.buffer();
    fileDef_ = fb->def;
    buffer_ = fb->bytes;
    file_ = &data::recordFile(*fileDef_);

    // Queue layout: every field's bytes end to end.
    const QString prefix = QStringLiteral("BRW%1::").arg(def.list);
    for (const QueueField& q : def.queue) {
        FieldDef fd;
        if (q.isComputed()) {
            fd.kind = FieldKind::Text;
            fd.size = q.width;
            queueSources_.push_back(nullptr);
            queueBuffers_.push_back(nullptr);
            queueNames_.push_back(prefix + q.name);
        } else {
            if (q.field.isEmpty()) throw std::invalid_argument("browse queue field of no name");
            const data::FieldRef ref = q.field.ref();
            fd = *ref.field;
            queueSources_.push_back(ref.field);
            queueBuffers_.push_back(ref.record());
            queueNames_.push_back(prefix + q.field.text());
        }
        fd.label = {};
        fd.offset = entryWidth_;
        entryWidth_ += fd.size;
        queueDefs_.push_back(fd);
    }

    int number = 0;
    for (const BrowseOrder& bo : def.orders) {
        auto o = std::make_unique<Order>();
        o->def = &bo;
        o->number = ++number;
        if (!bo.fileOrder()) {
            o->keyIndex = bo.key.file() == def.file ? bo.key.index() : -1;
            if (o->keyIndex < 0) throw std::invalid_argument("browse order on another file's key: " + std::string(bo.key.label()));
            const platform::KeyDef& k = fileDef_->keys[std::size_t(o->keyIndex)];
            for (int i = 0; i < k.count(); ++i) o->keyFields.push_back(fileDef_->field(k.parts[std::size_t(i)]));
        }
        for (const data::FieldName& parent : bo.range) {
            o->parents.push_back(parent.ref());
            o->rangeNames.push_back(
                upper(QStringLiteral("BRW%1::Sort%2:Reset:%3").arg(def.list).arg(o->number).arg(parent.text()).toStdString()));
        }
        o->rangeValues.resize(o->parents.size());
        limitRange(*o);
        orders_.push_back(std::move(o));
    }
    if (orders_.empty()) throw std::invalid_argument("browse without a sort order: " + std::string(def.file.label()));

    // Every entry also carries the key fields that are not shown, so that
    // the copy-back leaves the whole key of the highlighted record in the
    // buffer: the step locator, the thumb and Locate read it from there.
    for (const auto& o : orders_)
        for (const FieldDef* k : o->keyFields) {
            if (std::find(queueSources_.begin(), queueSources_.end(), k) != queueSources_.end()) continue;
            FieldDef fd = *k;
            fd.label = {};
            fd.offset = entryWidth_;
            entryWidth_ += fd.size;
            queueDefs_.push_back(fd);
            queueSources_.push_back(k);
            queueBuffers_.push_back(buffer_);
        }
}

// Which fields the range variables of an order limit, and which leading key
// parts hold them.
void BrowseEngine::limitRange(Order& o) const
{
    const BrowseOrder& bo = *o.def;
    const std::string key = bo.key.toStdString();
    if (bo.rangeFields.isEmpty()) {
        if (o.parents.size() > o.keyFields.size())
            throw std::invalid_argument("browse range longer than its key (name the fields it limits): " + key);
        o.children.assign(o.keyFields.begin(), o.keyFields.begin() + std::ptrdiff_t(o.parents.size()));
    } else {
        if (bo.rangeFields.size() != bo.range.size())
            throw std::invalid_argument("browse range: one limited field per range variable: " + key);
        for (const QString& label : bo.rangeFields) {
            const FieldDef* f = fileDef_->field(label.toStdString());
            if (!f) throw std::invalid_argument("browse range limits a field not of its file: " + label.toStdString());
            o.children.push_back(f);
        }
    }
    for (const FieldDef* part : o.keyFields) {
        auto at = std::find(o.children.begin(), o.children.end(), part);
        if (at == o.children.end()) break;
        o.heldBy.push_back(std::size_t(at - o.children.begin()));
    }
}

BrowseEngine::~BrowseEngine()
{
    closeView();
}

// ------------------------------------------------------------------ opening

void BrowseEngine::openEmbedded()
{
    if (opened_) return;
    embedded_ = true;
    const Request request = CallRequest;
    const Response response = CallResponse;
    CallRequest = Request::None;
    open();
    CallRequest = request;
    CallResponse = response;
}

void BrowseEngine::open()
{
    if (opened_) return;
    call_ = CallState::takeOver();

    std::vector<const platform::FileDef*> files{fileDef_};
    for (const data::FileName& other : def_.alsoUses) {
        files.push_back(&other.def());
    }
    use_ = std::make_unique<data::FileUse>(std::move(files));
    opened_ = true;

    if (host_) host_->setSelectButton(selectMode(), selectMode() && def_.selectIsDefault);
    setChangeDelete(false);
}

void BrowseEngine::windowOpened()
{
    if (windowOpened_ || closed_) return;
    windowOpened_ = true;
    refresh();
    if (!closed_ && host_) host_->focusList();
}

void BrowseEngine::refresh()
{
    // While the update form runs, the record buffer is the form's: a
    // refresh (window resized or activated, tab chosen) would read the
    // highlighted record back into it over what the user typed. The form's
    // return ends with a refresh of its own.
    if (acceptAll_ || formRunning_ || closed_ || !opened_) return;
    sortSelection();
    if (closed_) return;
    if (host_) {
        host_->setThumb(thumb_);
        host_->redisplay();
    }
    forcedRefresh_ = false;
}

void BrowseEngine::windowActivated()
{
    if (!windowOpened_ || closed_) return;
    forcedRefresh_ = true;
    refresh();
}

void BrowseEngine::tabChanged(int tab)
{
    tab_ = tab;
    if (windowOpened_) refresh();
}

// ------------------------------------------------------------ sort selection

BrowseEngine::Order& BrowseEngine::active()
{
    return *orders_[std::size_t(std::max(order_, 1) - 1)];
}

const BrowseEngine::Order* BrowseEngine::activeOrder_() const
{
    return orders_[std::size_t(std::max(order_, 1) - 1)].get();
}

const ThumbTable& BrowseEngine::thumbTable() const { return activeOrder_()->thumb; }

bool BrowseEngine::rangeChanged() const
{
    const Order& o = *activeOrder_();
    if (!o.ranged()) return false;
    for (std::size_t i = 0; i < o.parents.size(); ++i)
        if (platform::readField(*o.parents[i].field, o.parents[i].record()) != o.rangeValues[i]) return true;
    return false;
}

void BrowseEngine::saveRange()
{
    Order& o = active();
    for (std::size_t i = 0; i < o.parents.size(); ++i)
        o.rangeValues[i] = platform::readField(*o.parents[i].field, o.parents[i].record());
}

void BrowseEngine::sortSelection()
{
    const int previous = order_;
    const int wanted = std::clamp(def_.orderForTab(tab_), 1, int(orders_.size()));
    // The range test is made on the order about to be active.
    order_ = wanted;
    const bool changedRange = previous != 0 && rangeChanged();
    order_ = previous;

    if (wanted != previous || changedRange || forcedRefresh_) {
        order_ = wanted;
        saveRange();
        // Re-read the highlighted record before the order changes, so that
        // Locate finds it again in the new order.
        getRecord();
        resetSort();
        if (previous == 0) {
            if (selectMode()) {
                locate(2);  // at the record the caller primed
            } else {
                queue_.clear();
                rebuild(3);
            }
        } else if (changedRange) {
            queue_.clear();
            rebuild(3);
        } else if (active().fileOrder()) {
            // File order has no key to locate on: the page is read again
            // from its first entry and the highlight stays on its record.
            rebuild(2);
        } else {
            locate(2);
        }
        if (closed_) return;
        if (!queue_.empty()) copyBack(highlighted_);
        buildThumbTable();
        if (closed_) return;
        const bool reloaded = previous == 0 || changedRange;
        if (reloaded && def_.onReloaded) def_.onReloaded();
        if (closed_) return;
        // The scroll bar and the thumb follow new selections; the first page
        // and a new range get one too, or a long list would open without its
        // scroll bar, and the lists linked to this one would not follow.
        if (reloaded) postNewSelection();
    } else if (!queue_.empty()) {
        copyBack(highlighted_);
    }
}

// ------------------------------------------------------------------- view

void BrowseEngine::closeView() { view_.reset(); }

void BrowseEngine::primeRange()
{
    Order& o = active();
    if (!o.ranged()) return;
    for (std::size_t i = 0; i < o.heldBy.size(); ++i)
        platform::writeField(*o.keyFields[i], buffer_, o.rangeValues[o.heldBy[i]]);
}

// Creates the view in the active order with its range primed and its
// filter set; positioning is the caller's. False when the filter could not
// be compiled (already reported; the view then has neither filter nor range).
bool BrowseEngine::openView()
{
    view_ = std::make_unique<View>(*file_);
    return configureView(*view_);
}

// Sets a view to the active order, its range (primed in the buffer) and
// filter. False when the filter cannot be compiled (reported once).
bool BrowseEngine::configureView(View& view)
{
    Order& o = active();
    view.setOrder(o.keyIndex);

    const QString& text = o.def->filter;
    if (!text.trimmed().isEmpty() && !o.filterTried) {
        o.filterTried = true;
        platform::FilterResolver local = [&o](std::string_view name) -> std::optional<platform::FilterBinding> {
            for (std::size_t i = 0; i < o.rangeNames.size(); ++i)
                if (o.rangeNames[i] == name) return platform::FilterBinding::variable(&o.rangeValues[i]);
            return std::nullopt;
        };
        platform::FilterError why;
        o.filter = data::compileBufferFilter(text.toStdString(), local, &why);
        if (!o.filter) {
            o.filterBroken = true;
            data::saveError({data::RefusedError,
                             QStringLiteral("the filter \"%1\" cannot be used: %2")
                                 .arg(text, QString::fromStdString(why.message)),
                             0, QString()});
            data::standardMessage(data::MessageNo::ViewOpenError);
            return false;
        }
    }
    if (o.filterBroken) return false;
    if (o.ranged()) {
        primeRange();
        view.setRange(int(o.heldBy.size()));
    }
    if (o.filter) view.setFilter(&*o.filter);
    return true;
}

// ------------------------------------------------------- whole-view walk

std::optional<std::vector<Decimal>> BrowseEngine::sumView(const QStringList& fields)
{
    std::vector<const FieldDef*> summed;
    for (const QString& label : fields) {
        const FieldDef* f = fileDef_->field(label.toStdString());
        if (!f || f->kind != FieldKind::Packed)
            throw std::invalid_argument("browse sums a field that is not a number of its file: " + label.toStdString());
        summed.push_back(f);
    }
    if (closed_ || !opened_ || order_ == 0) return std::nullopt;

    std::vector<Decimal> sums(summed.size(), Decimal(0));
    // The range is primed into the record buffer and a walk reads into it;
    // the highlighted record goes back into it afterwards, and the page's
    // own view is not moved.
    std::vector<unsigned char> saved(buffer_, buffer_ + fileDef_->recordLength);
    if (host_) host_->setWaitCursor(true);
    View walk(*file_);
    configureView(walk);
    int code = errc::NoRecord;
    // The database sums the whole filtered list without handing every
    // record over, when the filter has an SQL form; otherwise each record is
    // read and tested.
    std::vector<int> indices;
    for (const FieldDef* f : summed) indices.push_back(int(f - fileDef_->fields.data()));
    if (const std::optional<int> inDriver = walk.sum(indices, sums)) {
        if (*inDriver != errc::Ok) code = *inDriver;
    } else if ((code = walk.setToStart()) == errc::Ok) {
        file_->send("QUICKSCAN=on");
        while ((code = walk.next()) == errc::Ok)
            for (std::size_t i = 0; i < summed.size(); ++i)
                sums[i] += std::get<Decimal>(platform::readField(*summed[i], buffer_));
        file_->send("QUICKSCAN=off");
    }
    std::memcpy(buffer_, saved.data(), saved.size());
    if (host_) host_->setWaitCursor(false);
    if (code != errc::NoRecord) {
        retrievalError();
        return std::nullopt;
    }
    for (Decimal& d : sums) d = d.rescaled(kSumPlaces);
    return sums;
}

bool BrowseEngine::resetSort()
{
    if (closed_) return false;
    closeView();
    openView();
    if (view_->setToStart() == errc::Ok) return true;
    data::standardMessage(data::MessageNo::ViewOpenError);
    // Filter and range limits are ignored from here on.
    view_->setFilter({});
    view_->setRange(0);
    view_->setToStart();
    return false;
}

// ------------------------------------------------------------------- fill

BrowseEntry BrowseEngine::makeEntry() const
{
    BrowseEntry e;
    e.values.resize(std::size_t(entryWidth_), ' ');
    for (std::size_t i = 0; i < queueDefs_.size(); ++i) {
        const FieldDef& q = queueDefs_[i];
        char* dst = e.values.data() + q.offset;
        if (queueSources_[i]) {
            std::memcpy(dst, queueBuffers_[i] + queueSources_[i]->offset, std::size_t(q.size));
        } else {
            std::string v = def_.queue[i].compute();  // computed fields are all declared ones
            std::memcpy(dst, v.data(), std::min(v.size(), std::size_t(q.size)));
        }
    }
    e.position = view_->position();
    return e;
}

int BrowseEngine::pageSize() const
{
    return std::max(host_ ? host_->pageSize() : 1, 1);
}

int BrowseEngine::fill(int count, bool forward)
{
    if (closed_ || !view_) return 0;
    std::string skipPosition;
    bool skip = false;
    if (!queue_.empty()) {
        skipPosition = forward ? queue_.back().position : queue_.front().position;
        skip = true;
        view_->reset(skipPosition);
    }
    const bool quick = def_.quickScan && count > 1;
    if (quick) file_->send("QUICKSCAN=on");

    int read = 0;
    int toRead = count;
    bool failed = false;
    while (toRead > 0) {
        int code = forward ? view_->next() : view_->previous();
        if (code == errc::NoRecord) break;
        if (code != errc::Ok) {
            failed = true;
            break;
        }
        if (skip) {
            skip = false;
            if (view_->position() == skipPosition) continue;
        }
        if (def_.onRecordRead) def_.onRecordRead();
        if (addingEnabled_) {
            if (int(queue_.size()) >= pageSize()) {
                if (forward) queue_.erase(queue_.begin());
                else queue_.pop_back();
            }
            if (forward) queue_.push_back(makeEntry());
            else queue_.insert(queue_.begin(), makeEntry());
        }
        --toRead;
        ++read;
    }
    if (quick) file_->send("QUICKSCAN=off");
    addingEnabled_ = true;
    if (failed) retrievalError();
    return read;
}

// ---------------------------------------------------------------- rebuild

void BrowseEngine::rebuild(int mode)
{
    if (closed_) return;
    if (host_) host_->setWaitCursor(true);
    resetMode_ = mode;
    std::optional<std::string> saved;
    if (mode == 1) {
        saved = view_->position();
        view_->reset(*saved);
    } else if (mode == 2 && !queue_.empty()) {
        int h = (highlighted_ >= 1 && highlighted_ <= int(queue_.size())) ? highlighted_ : int(queue_.size());
        saved = queue_[std::size_t(h - 1)].position;
        view_->reset(queue_.front().position);
    } else {
        view_->setToStart();
    }

    queue_.clear();
    const bool forward = mode != 4;
    const int read = fill(pageSize(), forward);
    if (!closed_ && saved && int(queue_.size()) < pageSize()) {
        if (read == 0) view_->setToStart();
        fill(pageSize() - int(queue_.size()), !forward);
    }
    if (closed_) {
        if (host_) host_->setWaitCursor(false);
        return;
    }

    if (!queue_.empty()) {
        int row = 0;
        if (saved) {
            for (std::size_t i = 0; i < queue_.size() && !row; ++i)
                if (queue_[i].position == *saved) row = int(i) + 1;
            if (!row) row = int(queue_.size());
        } else {
            row = mode == 4 ? int(queue_.size()) : 1;
        }
        highlight(row);
        copyBack(row);
        setChangeDelete(true);
    } else {
        platform::clearRecord(*fileDef_, buffer_);
        highlight(0);
        setChangeDelete(false);
    }
    if (host_) host_->setWaitCursor(false);
    resetMode_ = 0;
}

// ----------------------------------------------------------------- locate

void BrowseEngine::locate(int mode)
{
    if (closed_) return;
    locateMode_ = mode;
    std::string savedPosition;
    if (mode == 3) {
        // The record the update form has just written is the file's current one.
        savedPosition = file_->position(active().keyIndex);
        if (savedPosition.empty()) mode = 2;
    }
    closeView();
    openView();
    int code = mode == 3 ? view_->reset(savedPosition) : view_->set();
    if (code != errc::Ok) {
        data::standardMessage(data::MessageNo::ViewOpenError);
        view_->setFilter({});
        view_->setRange(0);
        code = mode == 3 ? view_->reset(savedPosition) : view_->set();
    }
    queue_.clear();
    addingEnabled_ = false;
    const int found = fill(1, true);
    if (closed_) return;
    rebuild(found ? 1 : 4);
    if (closed_) return;
    postNewSelection();
    locateMode_ = 0;
}

void BrowseEngine::locateOnBuffer()
{
    if (closed_ || !windowOpened_) return;
    locate(2);
}

// -------------------------------------------------------------- selection

void BrowseEngine::highlight(int row)
{
    highlighted_ = row;
    if (host_) host_->setCurrentRow(row);
}

void BrowseEngine::setChangeDelete(bool enabled)
{
    changeDeleteEnabled_ = enabled;
    if (host_) host_->setChangeDeleteEnabled(enabled);
}

void BrowseEngine::copyBack(int row)
{
    if (row < 1 || row > int(queue_.size())) return;
    const BrowseEntry& e = queue_[std::size_t(row - 1)];
    for (std::size_t i = 0; i < queueDefs_.size(); ++i) {
        if (!queueSources_[i]) continue;
        std::memcpy(queueBuffers_[i] + queueSources_[i]->offset, e.values.data() + queueDefs_[i].offset,
                    std::size_t(queueDefs_[i].size));
    }
    if (def_.onCopyBack) def_.onCopyBack();
}

void BrowseEngine::postNewSelection()
{
    if (selectionPosted_ || !host_) return;
    selectionPosted_ = true;
    host_->postNewSelection();
}

void BrowseEngine::newSelection()
{
    selectionPosted_ = false;
    // A copy-back now would overwrite the form's record (see refresh); the
    // form's return posts a new selection of its own.
    if (closed_ || !opened_ || formRunning_) return;
    if (!queue_.empty()) {
        int row = host_ ? host_->currentRow() : highlighted_;
        if (row < 1 || row > int(queue_.size())) row = std::clamp(highlighted_, 1, int(queue_.size()));
        highlighted_ = row;
        copyBack(row);
        scrollBarVisible_ = int(queue_.size()) >= pageSize();
        if (host_) host_->setScrollBarVisible(scrollBarVisible_);
        const Order& o = *activeOrder_();
        if (!o.fileOrder()) thumb_ = o.thumb.positionFor(platform::readField(*o.locatorField(), buffer_));
    }
    if (def_.onSelectionMoved) def_.onSelectionMoved();
    if (closed_) return;
    refresh();
}

// ----------------------------------------------------------------- scroll

void BrowseEngine::scroll(ScrollEvent event)
{
    if (queue_.empty() || closed_) return;
    const int page = pageSize();
    int asked = 0, read = 0;
    switch (event) {
    case ScrollEvent::RowUp:
        if (highlighted_ > 1) {
            --highlighted_;
        } else {
            asked = 1;
            read = fill(1, false);
        }
        break;
    case ScrollEvent::RowDown:
        if (highlighted_ < int(queue_.size())) {
            ++highlighted_;
        } else {
            asked = 1;
            read = fill(1, true);
        }
        break;
    case ScrollEvent::PageUp:
        asked = page;
        read = fill(page, false);
        if (read < page) highlighted_ = std::max(1, highlighted_ - (page - read));
        break;
    case ScrollEvent::PageDown:
        asked = page;
        read = fill(page, true);
        if (read < page) highlighted_ = std::min(int(queue_.size()), highlighted_ + (page - read));
        break;
    case ScrollEvent::Top:
        queue_.clear();
        view_->setToStart();
        asked = page;
        read = fill(page, true);
        highlighted_ = 1;
        break;
    case ScrollEvent::Bottom:
        queue_.clear();
        view_->setToStart();
        asked = page;
        read = fill(page, false);
        highlighted_ = int(queue_.size());
        break;
    }
    if (closed_) return;
    if (queue_.empty()) {
        // Every record went while we looked (another station emptied the file).
        platform::clearRecord(*fileDef_, buffer_);
        highlight(0);
        setChangeDelete(false);
        return;
    }
    highlighted_ = std::clamp(highlighted_, 1, int(queue_.size()));
    afterScroll(event, asked, read);
    if (host_) host_->setCurrentRow(highlighted_);
    postNewSelection();
}

// A browse in file order has no thumb table: its thumb tells only whether
// the page is at an end of the file.
void BrowseEngine::afterScroll(ScrollEvent event, int asked, int read)
{
    if (!activeOrder_()->fileOrder()) return;
    const bool backward =
        event == ScrollEvent::RowUp || event == ScrollEvent::PageUp || event == ScrollEvent::Top;
    if (int(queue_.size()) < pageSize()) thumb_ = 0;
    else if (event == ScrollEvent::Top) thumb_ = 0;
    else if (event == ScrollEvent::Bottom) thumb_ = 100;
    else if (asked > 0 && read < asked) thumb_ = backward ? 0 : 100;
    else thumb_ = 50;
    if (host_) host_->setThumb(thumb_);
}

void BrowseEngine::thumbDragged(int position)
{
    if (closed_) return;
    if (position <= 1) {
        scroll(ScrollEvent::Top);
        return;
    }
    if (position >= 100) {
        scroll(ScrollEvent::Bottom);
        return;
    }
    const Order& o = active();
    if (o.fileOrder()) return;
    clearKeyAfterLocator();
    platform::writeField(*o.locatorField(), buffer_, o.thumb.entry(position));
    locate(2);
}

// ------------------------------------------------------------ step locator

const FieldDef* BrowseEngine::firstKeyField() const
{
    return activeOrder_()->locatorField();
}

// The key parts after the locator's are cleared, so a locate on the
// locator's value lands on the first record that has it.
void BrowseEngine::clearKeyAfterLocator()
{
    const Order& o = *activeOrder_();
    const FieldDef* k = o.locatorField();
    auto at = std::find(o.keyFields.begin(), o.keyFields.end(), k);
    for (++at; at < o.keyFields.end(); ++at) platform::clearField(**at, buffer_);
}

char BrowseEngine::firstCharacter() const
{
    if (def_.stepLocator.firstCharacter) return def_.stepLocator.firstCharacter();
    const FieldDef* k = firstKeyField();
    if (!k) return ' ';
    if (k->kind == FieldKind::Packed) {
        std::string digits = std::get<Decimal>(platform::readField(*k, buffer_)).toString();
        return digits.empty() ? ' ' : digits.front();
    }
    return char(buffer_[k->offset]);
}

void BrowseEngine::primeLocator(char typed)
{
    if (def_.stepLocator.prime) {
        def_.stepLocator.prime(typed);
        return;
    }
    // The typed character alone in the locator's part; the rest cleared so
    // the locate lands on the first record that begins at or after it (the
    // parts the range holds are primed by the locate).
    clearKeyAfterLocator();
    const FieldDef* k = firstKeyField();
    if (k->kind == FieldKind::Packed) {
        // A number key takes the digit's value; any other character gives 0.
        int v = (typed >= '0' && typed <= '9') ? typed - '0' : 0;
        platform::writeField(*k, buffer_, Decimal(v));
    } else {
        std::memset(buffer_ + k->offset, ' ', std::size_t(k->size));
        buffer_[k->offset] = static_cast<unsigned char>(typed);
    }
}

void BrowseEngine::characterTyped(char typed)
{
    if (closed_ || queue_.empty() || typed == ' ') return;
    if (static_cast<unsigned char>(typed) < 0x20 || typed == 0x7F) return;
    if (activeOrder_()->fileOrder()) return;
    stepLocate(typed);
}

void BrowseEngine::stepLocate(char typed)
{
    using platform::cp1252::toUpper;
    const char wanted = toUpper(typed);
    copyBack(highlighted_);
    if (toUpper(firstCharacter()) == wanted) {
        scroll(ScrollEvent::RowDown);
        if (closed_) return;
        copyBack(highlighted_);
    }
    if (toUpper(firstCharacter()) == wanted) {
        highlight(highlighted_);
        return;
    }
    primeLocator(typed);
    locate(2);
}

// ------------------------------------------------------------------ popup

QString BrowseEngine::popupText() const
{
    QStringList parts;
    for (const PopupItem& item : def_.popupItems()) {
        if (item.text == QLatin1String("-")) {
            parts << item.text;
            continue;
        }
        bool enabled = true;
        switch (item.enabled) {
        case PopupItem::Enabled::Always: break;
        case PopupItem::Enabled::WithEntries: enabled = !queue_.empty(); break;
        case PopupItem::Enabled::WithEntriesInSelectMode: enabled = !queue_.empty() && selectMode(); break;
        }
        parts << (enabled ? item.text : QStringLiteral("~") + item.text);
    }
    return parts.join(QLatin1Char('|'));
}

void BrowseEngine::rightClick()
{
    if (closed_ || !host_) return;
    const QString text = popupText();
    const int choice = host_->popupMenu(text);
    if (choice <= 0) return;
    const QStringList parts = text.split(QLatin1Char('|'));
    const auto items = def_.popupItems();
    int n = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].text == QLatin1String("-")) continue;
        if (++n != choice) continue;
        if (parts[qsizetype(i)].startsWith(QLatin1Char('~'))) return;  // a disabled item
        for (std::size_t b = 0; b < def_.buttons.size(); ++b)
            if (def_.buttons[b].text == items[i].button) {
                host_->pressButton(int(b));
                return;
            }
        return;
    }
}

// ------------------------------------------------------------------- keys

int BrowseEngine::buttonIndex(BrowseRole role) const
{
    for (std::size_t i = 0; i < def_.buttons.size(); ++i)
        if (def_.buttons[i].role == role) return int(i);
    return -1;
}

void BrowseEngine::keyPressed(ListKey key)
{
    if (closed_ || !host_) return;
    int index = -1;
    auto activate = [this] {
        if (def_.activateButton.isEmpty()) return buttonIndex(BrowseRole::Change);
        for (std::size_t i = 0; i < def_.buttons.size(); ++i)
            if (def_.buttons[i].text == def_.activateButton) return int(i);
        return -1;
    };
    switch (key) {
    case ListKey::Insert:
        index = buttonIndex(BrowseRole::Add);
        break;
    case ListKey::Delete:
        if (!queue_.empty()) index = buttonIndex(BrowseRole::Delete);
        break;
    case ListKey::CtrlEnter:
        if (!queue_.empty()) index = activate();
        break;
    case ListKey::DoubleClick:
        if (!queue_.empty()) index = selectMode() ? buttonIndex(BrowseRole::Select) : activate();
        break;
    }
    if (index >= 0) host_->pressButton(index);
}

// ---------------------------------------------------------------- buttons

bool BrowseEngine::buttonVisible(int index) const
{
    if (index < 0 || index >= int(def_.buttons.size())) return false;
    return def_.buttons[std::size_t(index)].role != BrowseRole::Select || selectMode();
}

bool BrowseEngine::buttonEnabled(int index) const
{
    if (!buttonVisible(index) || closed_) return false;
    switch (def_.buttons[std::size_t(index)].role) {
    case BrowseRole::Change:
    case BrowseRole::Delete: return changeDeleteEnabled_;
    default: return true;
    }
}

void BrowseEngine::buttonPressed(int index)
{
    if (!opened_ || !buttonEnabled(index)) return;
    getRecord();
    const BrowseButton& b = def_.buttons[std::size_t(index)];
    if (b.nothing) return;
    if (b.action) {
        b.action(*this);
        return;
    }
    switch (b.role) {
    case BrowseRole::Select: select(); break;
    case BrowseRole::Add: callUpdateForm(Request::Insert); break;
    case BrowseRole::Change:
        if (!queue_.empty()) callUpdateForm(Request::Change);
        break;
    case BrowseRole::Delete:
        if (!queue_.empty()) callUpdateForm(Request::Delete);
        break;
    case BrowseRole::Help:
        if (host_ && !def_.helpTopic.isEmpty()) host_->showHelp(def_.helpTopic);
        break;
    case BrowseRole::Close: close(); break;
    case BrowseRole::Custom: break;
    }
}

void BrowseEngine::getRecord()
{
    if (queue_.empty()) return;
    int row = host_ ? host_->currentRow() : highlighted_;
    if (row < 1 || row > int(queue_.size())) row = std::clamp(highlighted_, 1, int(queue_.size()));
    highlighted_ = row;
    const BrowseEntry& e = queue_[std::size_t(row - 1)];
    file_->watch();
    if (file_->reget(e.position) == errc::Ok) {
        if (def_.onRecordRead) def_.onRecordRead();
        return;
    }
    // The record has gone (or cannot be read): leave the file without a
    // current record, so that a form that follows cannot write the buffer
    // over whichever record was read last.
    file_->forget();
}

void BrowseEngine::select()
{
    // An empty list has nothing to hand back: a Completed response would
    // give the caller a blank record as if one had been chosen.
    if (queue_.empty()) return;
    call_.localResponse = Response::Completed;
    close();
}

void BrowseEngine::callUpdateForm(Request request)
{
    if (request == Request::Insert) {
        platform::clearRecord(*fileDef_, buffer_);
        file_->forget();
        primeRangeFields();
    }
    call(request, [this] {
        if (def_.updateForm) def_.updateForm();
        else CallResponse = Response::Cancelled;
    });
}

// A new child record belongs to the parent the list is limited to: the
// fields the range variables limit take their values.
void BrowseEngine::primeRangeFields()
{
    const Order& o = active();
    for (std::size_t i = 0; i < o.children.size(); ++i)
        platform::writeField(*o.children[i], buffer_, o.rangeValues[i]);
}

void BrowseEngine::call(Request request, const std::function<void()>& procedure)
{
    if (closed_ || !opened_) return;
    call_.localRequest = request;
    closeView();
    CallRequest = request;
    {
        formRunning_ = true;
        struct Done {
            bool& flag;
            ~Done() { flag = false; }
        } done{formRunning_};
        procedure();
    }
    call_.localResponse = CallResponse == Response::None ? Response::Cancelled : CallResponse;
    resetSort();

    const bool completed = call_.localResponse == Response::Completed;
    if (completed && (request == Request::Insert || request == Request::Change)) {
        locate(3);
    } else if (completed && request == Request::Delete) {
        if (highlighted_ >= 1 && highlighted_ <= int(queue_.size()))
            queue_.erase(queue_.begin() + (highlighted_ - 1));
        rebuild(2);
    } else {
        rebuild(2);
    }
    if (closed_) return;
    if (def_.afterCall) def_.afterCall();
    if (closed_) return;
    buildThumbTable();
    if (closed_) return;
    postNewSelection();
    if (host_) host_->focusList();
    call_.localRequest = call_.entryRequest;
    call_.localResponse = Response::Cancelled;
    refresh();
}

// ------------------------------------------------------------ thumb table

void BrowseEngine::buildThumbTable()
{
    Order& o = active();
    if (o.fileOrder()) return;
    // The two reads are the engine's own business: the buffer goes back to
    // the highlighted record afterwards.
    std::vector<unsigned char> saved(buffer_, buffer_ + fileDef_->recordLength);
    auto restore = [&] { std::memcpy(buffer_, saved.data(), saved.size()); };
    const FieldDef* k = o.locatorField();

    resetSort();
    int code = view_->previous();
    if (code == errc::NoRecord) return restore();
    if (code != errc::Ok) {
        restore();
        retrievalError();
        return;
    }
    FieldValue high = platform::readField(*k, buffer_);
    resetSort();
    code = view_->next();
    if (code != errc::Ok) {
        restore();
        if (code != errc::NoRecord) retrievalError();
        return;
    }
    FieldValue low = platform::readField(*k, buffer_);
    o.thumb = k->kind == FieldKind::Date
                  ? ThumbTable::fromDates(std::get<std::string>(low), std::get<std::string>(high))
                  : ThumbTable::build(low, high, k->size, k->places);
    restore();
}

// ---------------------------------------------------------------- closing

void BrowseEngine::retrievalError()
{
    data::standardMessage(data::MessageNo::RecordRetrievalError, def_.file.text());
    call_.localResponse = Response::Cancelled;
    close();
}

void BrowseEngine::close()
{
    if (closed_) return;
    closed_ = true;
    closeView();
    queue_.clear();
    highlighted_ = 0;
    for (auto& o : orders_) o->thumb = ThumbTable();
    use_.reset();
    if (!embedded_) call_.giveBack();
    if (host_) host_->closeWindow();
}

// ------------------------------------------------------------------ queue

FieldValue BrowseEngine::value(int row, int field) const
{
    const BrowseEntry& e = entry(row);
    return platform::readField(queueDefs_[std::size_t(field)],
                               reinterpret_cast<const unsigned char*>(e.values.data()));
}

int BrowseEngine::queueFieldIndex(const QString& name) const
{
    for (qsizetype i = 0; i < queueNames_.size(); ++i)
        if (queueNames_[i].compare(name, Qt::CaseInsensitive) == 0) return int(i);
    return -1;
}

QString BrowseEngine::queueFieldName(int field) const { return queueNames_.value(field); }

} // namespace kestrel::shell
