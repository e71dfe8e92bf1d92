// The browse engine through a headless host over real record files: paging,
// scrolling, the step locator, the thumb, select mode, the update-form
// calls and their highlight, tabs, and failure handling.
#include "browsetesting.h"

#include "data/records.h"
#include "platform/recordfile.h"

using namespace kestrel;
using kestrel::shell::BrowseDefinition;
using kestrel::shell::ListKey;
using kestrel::shell::ScrollEvent;
using kestrel::test::addCpt;
using kestrel::test::seedCpt;
using kestrel::test::slice;

namespace {

// A browse over CPT48 with the CPT browse's orders, tabs and buttons; the
// update form is whatever the test puts in `form`.
class CptEngine : public test::BrowseFixture {
protected:
    std::function<shell::Response(shell::Request request)> form;  // returns the response
    int formCalls = 0;
    shell::Request lastRequest = shell::Request::None;
    BrowseDefinition def;

    void SetUp() override
    {
        BrowseFixture::SetUp();
        useFiles({&data::file::CPT48});
        def = BrowseDefinition{
            .file = "CPT48",
            .title = "CPT/HCPCS Code Browser",
            .heading = "CPT/HCPCS PROCEDURE CODE MANAGER",
            .listTip = "CPT/HCPCS Code Browser ...",
            .format = "46L(4)|F@s7@80L(4)|F@s128@",
            .queue = {"CPT:CPTCODE", "CPT:CPTDESCRIPTION"},
            .orders = {{"CPT:CPTDESCRIPTIONKEY"}, {"CPT:CPTCODEKEY"}},
            .tabs = {{"CPT/HCPCS", 2}, {"  Description", 1}},
            .buttons = {"&Select", "&Add", "&Delete", "&Change", "Help", "&Close"},
            .helpTopic = "CPT/HCPCSCodeBrowser",
            .updateForm =
                [this] {
                    ++formCalls;
                    shell::CallState s = shell::CallState::takeOver();
                    lastRequest = s.localRequest;
                    if (form) s.localResponse = form(s.localRequest);
                    s.giveBack();
                },
        };
    }

    void press(shell::BrowseRole role)
    {
        host.pressButton(engine->buttonIndex(role));
        host.deliver();
    }
};

TEST_F(CptEngine, EmptyFileOffersOnlyAdd)
{
    openBrowse(def);
    EXPECT_EQ(engine->entryCount(), 0);
    EXPECT_EQ(engine->highlighted(), 0);
    EXPECT_FALSE(host.changeDelete);
    EXPECT_EQ(engine->popupText(), "&Add|~&Change|~&Delete|-|~&Select");
    EXPECT_FALSE(host.selectShown);

    engine->keyPressed(ListKey::Delete);
    engine->keyPressed(ListKey::CtrlEnter);
    engine->keyPressed(ListKey::DoubleClick);
    host.popupChoice = 2;  // the greyed Change
    engine->rightClick();
    press(shell::BrowseRole::Change);
    EXPECT_EQ(formCalls, 0);

    engine->keyPressed(ListKey::Insert);
    EXPECT_EQ(formCalls, 1);
    EXPECT_EQ(lastRequest, shell::Request::Insert);
    host.popupChoice = 1;
    engine->rightClick();
    EXPECT_EQ(formCalls, 2);
    EXPECT_EQ(engine->entryCount(), 0);
    EXPECT_FALSE(engine->closed());
}

TEST_F(CptEngine, ScrollBarOnlyForAFullPage)
{
    seedCpt(3);
    openBrowse(def);
    EXPECT_EQ(column(), (std::vector<std::string>{"C01", "C02", "C03"}));
    EXPECT_EQ(engine->highlighted(), 1);
    EXPECT_FALSE(host.scrollBar);
    EXPECT_TRUE(host.changeDelete);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C01");  // copy-back of the highlighted entry

    addCpt("C04", "x");
    addCpt("C05", "y");
    scroll(ScrollEvent::Top);
    EXPECT_EQ(engine->entryCount(), 5);
    EXPECT_TRUE(host.scrollBar);
}

// A browse opened on a file longer than its page shows the scroll bar (and
// the thumb where the first record sits) at once, not only after the user
// has moved the highlight.
TEST_F(CptEngine, AFullFirstPageShowsTheScrollBarOnOpening)
{
    seedCpt(8);
    openBrowse(def);
    EXPECT_EQ(engine->entryCount(), 5);
    EXPECT_TRUE(host.scrollBar);
    EXPECT_EQ(host.thumbPosition, 0);
}

// The record buffer belongs to the update form while it runs: the browse
// behind it being resized (the frame un-maximized), activated or told of a
// new selection must not read its highlighted record back into the buffer,
// or the form would save the stored values over what the user typed.
TEST_F(CptEngine, NothingOfTheBrowseTouchesTheBufferWhileItsFormRuns)
{
    seedCpt(8);
    openBrowse(def);
    pick(2);
    form = [this](shell::Request) {
        data::CPT.CPTDESCRIPTION.set("TYPED BY THE USER");
        engine->windowResized();
        engine->windowActivated();
        engine->tabChanged(2);
        engine->newSelection();
        EXPECT_EQ(data::CPT.CPTDESCRIPTION.trimmed(), "TYPED BY THE USER");
        EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C02");
        return shell::Response::Cancelled;
    };
    press(shell::BrowseRole::Change);
    EXPECT_EQ(formCalls, 1);
    // Afterwards the browse is itself again: the tab chosen meanwhile holds.
    EXPECT_EQ(highlightedText(), "C02");
    EXPECT_EQ(engine->entryCount(), 5);
}

TEST_F(CptEngine, RowScrollingAtTheEdgesOfThePage)
{
    auto codes = seedCpt(8);
    openBrowse(def);
    scroll(ScrollEvent::Bottom);
    EXPECT_EQ(column(), slice(codes, 4, 8));
    EXPECT_EQ(engine->highlighted(), 5);

    // One row down on the last entry of the last page: nothing to read.
    scroll(ScrollEvent::RowDown);
    EXPECT_EQ(column(), slice(codes, 4, 8));
    EXPECT_EQ(engine->highlighted(), 5);
    EXPECT_EQ(highlightedText(), "C08");

    // One row up on the first entry scrolls the page; the highlight stays on row 1.
    pick(1);
    scroll(ScrollEvent::RowUp);
    EXPECT_EQ(column(), slice(codes, 3, 7));
    EXPECT_EQ(engine->highlighted(), 1);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C03");
    scroll(ScrollEvent::RowDown);
    EXPECT_EQ(engine->highlighted(), 2);
    EXPECT_EQ(column(), slice(codes, 3, 7));
}

TEST_F(CptEngine, PageScrollingNearTheEnds)
{
    auto codes = seedCpt(12);
    openBrowse(def);
    EXPECT_EQ(column(), slice(codes, 1, 5));
    scroll(ScrollEvent::PageDown);
    EXPECT_EQ(column(), slice(codes, 6, 10));
    EXPECT_EQ(engine->highlighted(), 1);

    // Two records left: the page scrolls by two, the highlight by the other three.
    scroll(ScrollEvent::PageDown);
    EXPECT_EQ(column(), slice(codes, 8, 12));
    EXPECT_EQ(engine->highlighted(), 4);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C11");
    scroll(ScrollEvent::PageDown);
    EXPECT_EQ(column(), slice(codes, 8, 12));
    EXPECT_EQ(engine->highlighted(), 5);

    scroll(ScrollEvent::PageUp);
    EXPECT_EQ(column(), slice(codes, 3, 7));
    EXPECT_EQ(engine->highlighted(), 5);
    scroll(ScrollEvent::PageUp);
    EXPECT_EQ(column(), slice(codes, 1, 5));
    EXPECT_EQ(engine->highlighted(), 2);
}

TEST_F(CptEngine, StepLocatorStepsThroughTheRecordsOfALetter)
{
    for (const char* c : {"A0001", "B0001", "B0002", "C0001", "C0002", "D0001", "F0001"}) addCpt(c, c);
    openBrowse(def);
    ASSERT_EQ(highlightedText(), "A0001");

    type('b');  // A0001 does not begin with B: locate on "B"
    EXPECT_EQ(highlightedText(), "B0001");
    type('B');  // begins with B: one row down
    EXPECT_EQ(highlightedText(), "B0002");
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "B0002");
    type('B');  // the next one is C0001: back to the first B
    EXPECT_EQ(highlightedText(), "B0001");

    type('e');  // no E: the first record after them
    EXPECT_EQ(highlightedText(), "F0001");
    type(' ');
    EXPECT_EQ(highlightedText(), "F0001");
    type('Z');  // beyond every record: the last page, its last entry
    EXPECT_EQ(highlightedText(), "F0001");
    EXPECT_EQ(engine->highlighted(), engine->entryCount());
}

TEST_F(CptEngine, StepLocatorOnTheDescriptionClearsTheCode)
{
    addCpt("Z1", "ALPHA");
    addCpt("A1", "BETA");
    addCpt("A2", "BETA");
    addCpt("B1", "GAMMA");
    openBrowse(def);
    engine->tabChanged(2);
    host.deliver();
    ASSERT_EQ(engine->activeOrder(), 1);
    pick(1);
    ASSERT_EQ(highlightedText(1), "ALPHA");
    type('b');
    // The first BETA by description then code, whatever the code was.
    EXPECT_EQ(highlightedText(1), "BETA");
    EXPECT_EQ(highlightedText(0), "A1");
}

TEST_F(CptEngine, SelectModeStartsAtThePrimedValue)
{
    auto codes = seedCpt(8);
    data::CPT.CPTCODE.set("C04");
    shell::CallRequest = shell::Request::Select;
    openBrowse(def);
    EXPECT_EQ(shell::CallRequest, shell::Request::None);  // taken over and cleared
    EXPECT_TRUE(engine->selectMode());
    EXPECT_TRUE(host.selectShown);
    EXPECT_TRUE(host.selectDefault);
    EXPECT_EQ(highlightedText(), "C04");
    EXPECT_EQ(engine->popupText(), "&Add|&Change|&Delete|-|&Select");

    // Double click selects: the record in the buffer, Completed, closed.
    scroll(ScrollEvent::RowDown);
    engine->keyPressed(ListKey::DoubleClick);
    EXPECT_TRUE(host.closedWindow);
    EXPECT_EQ(shell::CallResponse, shell::Response::Completed);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C05");
}

TEST_F(CptEngine, SelectModePrimedBeyondTheLastRecord)
{
    auto codes = seedCpt(8);
    data::CPT.CPTCODE.set("ZZZZZZZ");
    shell::CallRequest = shell::Request::Select;
    openBrowse(def);
    EXPECT_EQ(column(), slice(codes, 4, 8));
    EXPECT_EQ(engine->highlighted(), 5);

    // Close hands back Cancelled, the buffer as last highlighted.
    press(shell::BrowseRole::Close);
    EXPECT_EQ(shell::CallResponse, shell::Response::Cancelled);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C08");
}

TEST_F(CptEngine, SelectOnAnEmptyListHandsNothingBack)
{
    shell::CallRequest = shell::Request::Select;
    openBrowse(def);
    press(shell::BrowseRole::Select);
    EXPECT_FALSE(engine->closed());
    press(shell::BrowseRole::Close);
    EXPECT_EQ(shell::CallResponse, shell::Response::Cancelled);
}

TEST_F(CptEngine, AddHighlightsTheNewRecordWhereverItSorts)
{
    auto codes = seedCpt(12);
    openBrowse(def);
    form = [](shell::Request request) {
        EXPECT_EQ(request, shell::Request::Insert);
        EXPECT_TRUE(data::CPT.CPTCODE.isBlank());  // cleared for the form
        addCpt("C095", "new");
        return shell::Response::Completed;
    };
    press(shell::BrowseRole::Add);
    EXPECT_EQ(highlightedText(), "C095");
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C095");

    form = [](shell::Request) {
        addCpt("ZZZ", "last");
        return shell::Response::Completed;
    };
    engine->keyPressed(ListKey::Insert);
    host.deliver();
    EXPECT_EQ(highlightedText(), "ZZZ");
    EXPECT_EQ(engine->highlighted(), engine->entryCount());
}

TEST_F(CptEngine, DeleteKeepsTheHighlightOnTheSameRow)
{
    auto codes = seedCpt(12);
    openBrowse(def);
    pick(3);
    std::vector<std::string> deleted;
    form = [&](shell::Request request) {
        EXPECT_EQ(request, shell::Request::Delete);
        // The browse re-read the highlighted record just before the call.
        deleted.push_back(std::string(data::CPT.CPTCODE.trimmed()));
        EXPECT_EQ(data::recordFile(data::file::CPT48).remove(), 0);
        return shell::Response::Completed;
    };
    engine->keyPressed(ListKey::Delete);
    host.deliver();
    EXPECT_EQ(engine->highlighted(), 3);
    EXPECT_EQ(highlightedText(), "C04");
    EXPECT_EQ(column(), (std::vector<std::string>{"C01", "C02", "C04", "C05", "C06"}));

    // Deleting the last record of the file moves to the new last entry.
    scroll(ScrollEvent::Bottom);
    engine->keyPressed(ListKey::Delete);
    host.deliver();
    EXPECT_EQ(highlightedText(), "C11");
    EXPECT_EQ(engine->highlighted(), 5);
    EXPECT_EQ(deleted, (std::vector<std::string>{"C03", "C12"}));

    // A cancelled delete leaves the page as it was.
    form = [](shell::Request) { return shell::Response::Cancelled; };
    pick(2);
    auto before = column();
    press(shell::BrowseRole::Delete);
    EXPECT_EQ(column(), before);
    EXPECT_EQ(engine->highlighted(), 2);
}

TEST_F(CptEngine, ChangeWorksOnTheRecordReReadFromTheFile)
{
    seedCpt(6);
    openBrowse(def);
    pick(2);

    // Another station changes the highlighted record after the page was read.
    data::Cpt48Record mine = data::CPT;
    platform::RecordFile other(data::file::CPT48, reinterpret_cast<unsigned char*>(&mine));
    other.setDirectory(dir.path());
    ASSERT_EQ(other.open(), 0);
    mine.CPTCODE.set("C02");
    ASSERT_EQ(other.get(data::file::CPT48.keyIndex("CPT:CPTCODEKEY")), 0);
    mine.CPTDESCRIPTION.set("CHANGED ELSEWHERE");
    ASSERT_EQ(other.put(), 0);

    form = [&](shell::Request request) {
        EXPECT_EQ(request, shell::Request::Change);
        EXPECT_EQ(data::CPT.CPTDESCRIPTION.trimmed(), "CHANGED ELSEWHERE");
        // The re-read was watched: a change made elsewhere since is caught.
        mine.CPTDESCRIPTION.set("AGAIN");
        EXPECT_EQ(other.put(), 0);
        data::CPT.CPTDESCRIPTION.set("MINE");
        EXPECT_EQ(data::recordFile(data::file::CPT48).put(), platform::errc::ChangedByOther);
        return shell::Response::Cancelled;
    };
    engine->keyPressed(ListKey::CtrlEnter);
    host.deliver();
    EXPECT_EQ(formCalls, 1);
    EXPECT_EQ(highlightedText(), "C02");
    EXPECT_EQ(highlightedText(1), "AGAIN");  // the page was rebuilt from the file
    other.close();
}

TEST_F(CptEngine, TabChangeKeepsTheSameRecordHighlighted)
{
    seedCpt(12);
    openBrowse(def);
    pick(4);
    ASSERT_EQ(highlightedText(), "C04");
    engine->tabChanged(2);
    host.deliver();
    EXPECT_EQ(engine->activeOrder(), 1);
    EXPECT_EQ(highlightedText(), "C04");
    EXPECT_EQ(highlightedText(1), "D09");
    // The page is in description order.
    auto d = column(1);
    EXPECT_TRUE(std::is_sorted(d.begin(), d.end()));

    scroll(ScrollEvent::RowDown);
    EXPECT_EQ(highlightedText(), "C03");
    engine->tabChanged(1);
    host.deliver();
    EXPECT_EQ(engine->activeOrder(), 2);
    EXPECT_EQ(highlightedText(), "C03");
}

TEST_F(CptEngine, ThumbDragAtTheEndsIsTheTopAndBottomEvents)
{
    auto codes = seedCpt(12);
    openBrowse(def);
    scroll(ScrollEvent::PageDown);

    engine->thumbDragged(100);
    host.deliver();
    auto dragged = column();
    int row = engine->highlighted();
    scroll(ScrollEvent::Top);
    scroll(ScrollEvent::Bottom);
    EXPECT_EQ(column(), dragged);
    EXPECT_EQ(engine->highlighted(), row);
    EXPECT_EQ(column(), slice(codes, 8, 12));
    EXPECT_EQ(engine->highlighted(), 5);

    engine->thumbDragged(1);
    host.deliver();
    EXPECT_EQ(column(), slice(codes, 1, 5));
    EXPECT_EQ(engine->highlighted(), 1);
    EXPECT_EQ(host.thumbPosition, 0);
    engine->thumbDragged(0);
    host.deliver();
    EXPECT_EQ(column(), slice(codes, 1, 5));
}

TEST_F(CptEngine, ThumbFollowsTheHighlightedKey)
{
    for (const char* c : {"ABDOMEN", "ABLATE", "ABSCESS"}) addCpt(c, c);
    openBrowse(def);
    const auto& t = engine->thumbTable();
    EXPECT_EQ(std::get<std::string>(t.entry(1)), "ABDOME");
    EXPECT_EQ(std::get<std::string>(t.entry(100)), "ABSCES");
    // Opened on the first record: "ABDOMEN" is just past entry 1.
    EXPECT_EQ(host.thumbPosition, 2);
    pick(3);
    EXPECT_EQ(host.thumbPosition, 100);
    pick(1);
    EXPECT_EQ(host.thumbPosition, 2);  // "ABDOMEN" is just past entry 1

    // Dragging to the middle locates on the table's entry there.
    engine->thumbDragged(50);
    host.deliver();
    EXPECT_EQ(highlightedText(), "ABLATE");  // the first code at or after "ABK..."
}

TEST_F(CptEngine, PopupChoicesPressTheirButtons)
{
    seedCpt(3);
    openBrowse(def);
    EXPECT_EQ(engine->popupText(), "&Add|&Change|&Delete|-|~&Select");
    host.popupChoice = 2;
    engine->rightClick();
    EXPECT_EQ(lastRequest, shell::Request::Change);
    host.popupChoice = 3;
    engine->rightClick();
    EXPECT_EQ(lastRequest, shell::Request::Delete);
    host.popupChoice = 4;  // Select, greyed outside Select mode
    engine->rightClick();
    EXPECT_FALSE(engine->closed());
    EXPECT_EQ(formCalls, 2);
}

TEST_F(CptEngine, HelpAndCloseReReadTheRecordFirst)
{
    seedCpt(3);
    openBrowse(def);
    pick(2);
    data::CPT.CPTCODE.set("scribbled");
    press(shell::BrowseRole::Help);
    EXPECT_EQ(host.help, "CPT/HCPCSCodeBrowser");
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "C02");
    press(shell::BrowseRole::Close);
    EXPECT_TRUE(host.closedWindow);
    EXPECT_EQ(shell::CallResponse, shell::Response::Cancelled);
    EXPECT_EQ(data::openCount(data::file::CPT48), 1);  // only the fixture's use is left
}

TEST_F(CptEngine, PageSizeFollowsTheWindow)
{
    seedCpt(12);
    openBrowse(def);
    pick(3);
    host.page = 8;
    engine->windowResized();
    host.deliver();
    EXPECT_EQ(engine->entryCount(), 8);
    EXPECT_EQ(highlightedText(), "C03");
}

TEST_F(CptEngine, ReadErrorClosesTheBrowseWithRetrievalError)
{
    seedCpt(12);
    openBrowse(def);
    platform::faults::failOn(platform::faults::Operation::Read, "CPT48", 1, platform::errc::DriverError);
    scroll(ScrollEvent::PageDown);
    ASSERT_EQ(messages.numbers(), std::vector<int>{35});
    EXPECT_TRUE(messages.shown()[0].text.contains("CPT48"));
    EXPECT_TRUE(engine->closed());
    EXPECT_TRUE(host.closedWindow);
    EXPECT_EQ(shell::CallResponse, shell::Response::Cancelled);
    scroll(ScrollEvent::PageDown);  // nothing more happens
    EXPECT_EQ(messages.numbers().size(), 1u);
}

TEST_F(CptEngine, BadFilterIsReportedOnceAndIgnored)
{
    seedCpt(3);
    def.orders = {{"CPT:CPTCODEKEY", {}, "CPT:NOSUCHFIELD = 1"}};
    def.tabs.clear();
    openBrowse(def);
    EXPECT_EQ(messages.numbers(), std::vector<int>{36});
    EXPECT_EQ(column(), (std::vector<std::string>{"C01", "C02", "C03"}));
    scroll(ScrollEvent::Bottom);
    engine->windowActivated();
    host.deliver();
    EXPECT_EQ(messages.numbers(), std::vector<int>{36});
    EXPECT_FALSE(engine->closed());
}

TEST_F(CptEngine, KeyFieldsTravelWithTheEntryWhenNotShown)
{
    for (const char* c : {"A1", "B1", "B2", "C1"}) addCpt(c, std::string("DESC ") + c);
    def.queue = {"CPT:CPTDESCRIPTION"};  // the code is not a column
    def.tabs.clear();
    def.orders = {{"CPT:CPTCODEKEY"}};
    openBrowse(def);
    pick(3);
    data::CPT.CPTCODE.set("XX");  // whatever the buffer held
    pick(2);
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "B1");
    type('B');  // steps on the code of the highlighted record
    EXPECT_EQ(highlightedText(), "DESC B2");
    EXPECT_EQ(data::CPT.CPTCODE.trimmed(), "B2");
}

TEST_F(CptEngine, SelectOnlyLookupAndButtonsThatDoNothing)
{
    seedCpt(3);
    def.buttons = {"&Select", "&Close"};
    openBrowse(def);
    EXPECT_EQ(engine->popupText(), "~&Select");
    engine->keyPressed(ListKey::Insert);
    engine->keyPressed(ListKey::Delete);
    engine->keyPressed(ListKey::CtrlEnter);
    engine->keyPressed(ListKey::DoubleClick);
    EXPECT_EQ(formCalls, 0);
    EXPECT_FALSE(engine->closed());

    engine.reset();
    def.buttons = {"&Add", shell::BrowseButton("&Delete").doesNothing(), "&Close"};
    openBrowse(def);
    engine->keyPressed(ListKey::Delete);
    host.popupChoice = 3;
    engine->rightClick();
    EXPECT_EQ(formCalls, 0);
    EXPECT_EQ(engine->entryCount(), 3);
}

// ---------------------------------------------------------------- ranges

class RangeEngine : public test::BrowseFixture {
protected:
    void SetUp() override
    {
        BrowseFixture::SetUp();
        useFiles({&data::file::Invoice});
        // Patient 1 has claims 1-3 (two providers), patient 2 claims 4-5, patient 3 claim 6.
        const int claims[][3] = {{1, 2, 1}, {1, 1, 2}, {1, 1, 3}, {2, 1, 4}, {2, 1, 5}, {3, 1, 6}};
        for (auto [pat, prv, inv] : claims) {
            platform::clearRecord(data::file::Invoice, data::bytesOf(data::INV));
            data::INV.PAT.set(platform::Decimal(pat));
            data::INV.PRV.set(platform::Decimal(prv));
            data::INV.INV.set(platform::Decimal(inv));
            ASSERT_EQ(data::recordFile(data::file::Invoice).add(), 0);
        }
        def = BrowseDefinition{
            .file = "Invoice",
            .list = 2,
            .format = "20C|~PRV~@n03@20C|~Account~@n05@20C|~Invoice~@n08@",
            .queue = {"INV:PRV", "INV:PAT", "INV:INV"},
            .orders = {{"INV:PATPRVINVKEY", {"PAT:PAT"}, "INV:PAT = BRW2::Sort1:Reset:PAT:PAT"}},
            .buttons = {"&Add", "&Change", "&Delete"},
        };
    }
    BrowseDefinition def;
};

TEST_F(RangeEngine, ChildListFollowsItsParent)
{
    data::PAT.PAT.set(platform::Decimal(1));
    openBrowse(def);
    EXPECT_EQ(column(2), (std::vector<std::string>{"2", "3", "1"}));  // by provider, then claim
    EXPECT_EQ(engine->queueFieldIndex("BRW2::INV:INV"), 2);
    scroll(ScrollEvent::Bottom);
    EXPECT_EQ(column(2), (std::vector<std::string>{"2", "3", "1"}));

    data::PAT.PAT.set(platform::Decimal(2));
    engine->refresh();
    host.deliver();
    EXPECT_EQ(column(2), (std::vector<std::string>{"4", "5"}));
    EXPECT_EQ(engine->highlighted(), 1);

    data::PAT.PAT.set(platform::Decimal(9));
    engine->refresh();
    host.deliver();
    EXPECT_EQ(engine->entryCount(), 0);
    EXPECT_FALSE(host.changeDelete);

    data::PAT.PAT.set(platform::Decimal(3));
    engine->refresh();
    host.deliver();
    EXPECT_EQ(column(2), (std::vector<std::string>{"6"}));
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(RangeEngine, LocateStaysWithinTheRange)
{
    data::PAT.PAT.set(platform::Decimal(2));
    openBrowse(def);
    // A locate beyond the range's last claim lands on the range's last page.
    data::INV.PRV.set(platform::Decimal(99));
    engine->locateOnBuffer();
    host.deliver();
    EXPECT_EQ(column(2), (std::vector<std::string>{"4", "5"}));
    EXPECT_EQ(highlightedText(2), "5");
}

// --------------------------------------------------- filter and file order

using BrowseEngineFiles = test::BrowseFixture;

TEST_F(BrowseEngineFiles, FilteredBrowseShowsOnlyMatchingRecordsWithANumericThumb)
{
    useFiles({&data::file::Auth});
    const int rows[][2] = {{1, 20240105}, {2, 20230301}, {2, 20220101}, {3, 20200101}, {2, 20240101}};
    for (auto [pat, date] : rows) {
        data::AUT.PAT.set(platform::Decimal(pat));
        data::AUT.AUTHDATE.set(std::to_string(date));
        data::AUT.AUTHSIGN.set("SIGNED");
        ASSERT_EQ(data::recordFile(data::file::Auth).add(), 0);
    }
    data::INV.PAT.set(platform::Decimal(2));
    BrowseDefinition def{
        .file = "Auth",
        .format = "49C|F~Date~@D2@128L(4)|F~Authorization signed by:~@s32@",
        .queue = {"AUT:AUTHDATE", "AUT:AUTHSIGN"},
        .orders = {{"AUT:PATAUTHDATEKEY", {}, "(AUT:PAT=INV:PAT)"}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
    };
    openBrowse(def);
    EXPECT_EQ(column(), (std::vector<std::string>{"20220101", "20230301", "20240101"}));
    EXPECT_EQ(std::get<platform::Decimal>(engine->thumbTable().entry(1)), platform::Decimal(2));
    EXPECT_EQ(std::get<platform::Decimal>(engine->thumbTable().entry(100)), platform::Decimal(2));

    data::INV.PAT.set(platform::Decimal(7));
    engine->windowActivated();
    host.deliver();
    EXPECT_EQ(engine->entryCount(), 0);
    EXPECT_EQ(engine->popupText(), "&Add|~&Change|~&Delete|-|~&Select");
}

TEST_F(BrowseEngineFiles, FileOrderBrowseShowsPhysicalOrderAndAnEndsThumb)
{
    useFiles({&data::file::Rendering});
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        std::string name = std::string(1, char('Z' - i)) + "NAME";  // added in falling order
        data::REN.F24J.set(std::to_string(1000 + i));
        data::REN.F24JNAME.set(name);
        ASSERT_EQ(data::recordFile(data::file::Rendering).add(), 0);
        names.push_back(name);
    }
    BrowseDefinition def{
        .file = "Rendering",
        .format = "85L(2)|M~Provider Name~@s40@40L|M~NPI Number~R@s11@",
        .queue = {"REN:F24JNAME", "REN:F24J"},
        .orders = {shell::BrowseOrder()},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
    };
    openBrowse(def);
    EXPECT_EQ(column(), slice(names, 1, 5));
    type('Z');
    EXPECT_EQ(column(), slice(names, 1, 5));
    EXPECT_EQ(engine->highlighted(), 1);

    scroll(ScrollEvent::PageDown);
    EXPECT_EQ(host.thumbPosition, 50);
    scroll(ScrollEvent::PageDown);  // only two left
    EXPECT_EQ(column(), slice(names, 8, 12));
    EXPECT_EQ(host.thumbPosition, 100);
    engine->thumbDragged(50);  // only the ends act
    host.deliver();
    EXPECT_EQ(column(), slice(names, 8, 12));
    engine->thumbDragged(1);
    host.deliver();
    EXPECT_EQ(column(), slice(names, 1, 5));
    EXPECT_EQ(host.thumbPosition, 0);
    scroll(ScrollEvent::PageUp);
    EXPECT_EQ(host.thumbPosition, 0);
}

TEST_F(BrowseEngineFiles, NumberKeyStepLocatorComparesTheNumbersText)
{
    useFiles({&data::file::Provider});
    for (int n : {1, 2, 10, 11, 20}) {
        platform::clearRecord(data::file::Provider, data::bytesOf(data::PRV));
        data::PRV.PRV.set(platform::Decimal(n));
        data::PRV.PNAME.set("DR " + std::to_string(n));
        ASSERT_EQ(data::recordFile(data::file::Provider).add(), 0);
    }
    BrowseDefinition def{
        .file = "Provider",
        .title = "MDN Browser",
        .format = "128L(4)|F@s29@22C|@n03@",
        .queue = {"PRV:PNAME", "PRV:PRV"},
        .orders = {{"PRV:PRVKEY"}},
        .buttons = {"&Select", "&Close"},
    };
    openBrowse(def);
    EXPECT_EQ(std::get<platform::Decimal>(engine->thumbTable().entry(100)), platform::Decimal(20));
    scroll(ScrollEvent::RowDown);
    scroll(ScrollEvent::RowDown);
    ASSERT_EQ(highlightedText(1), "10");
    type('1');  // "10" begins with 1: on to 11, which does too
    EXPECT_EQ(highlightedText(1), "11");
    type('1');  // 20 does not: locate on the number 1
    EXPECT_EQ(highlightedText(1), "1");
    type('x');  // a non-digit locates on 0: the first provider
    EXPECT_EQ(highlightedText(1), "1");
}

} // namespace
