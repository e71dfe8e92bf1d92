// Browses that live inside other windows, over real files: a list limited by
// range variables apart from its key parts (a claim's service lines), totals
// over the whole filtered view, the date thumb, the after-call steps of the
// owner's own buttons, linked lists that follow the highlight of the one
// before, and a browse in file order that keeps its record.
#include "browsetesting.h"

#include "data/records.h"
#include "platform/recordfile.h"

using namespace kestrel;
using kestrel::platform::Decimal;
using kestrel::shell::BrowseDefinition;
using kestrel::shell::BrowseOrder;
using kestrel::shell::ScrollEvent;

namespace {

const char* const kServiceFilter =
    "ITM:PAT = BRW2::Sort1:Reset:INV:PAT AND ITM:PRV = BRW2::Sort1:Reset:INV:PRV AND ITM:INV = "
    "BRW2::Sort1:Reset:INV:INV AND (ITM:FEE > -.01 AND ITM:CPT<>000001  AND ITM:CPT<>000002 AND "
    "ITM:CPT<>000003 AND ITM:CPT<>000004 AND ITM:CPT<>000005 )";

void addLine(int pat, int prv, int inv, const char* date, const char* cpt, const char* fee)
{
    platform::clearRecord(data::file::Item, data::bytesOf(data::ITM));
    data::ITM.PAT.set(Decimal(pat));
    data::ITM.PRV.set(Decimal(prv));
    data::ITM.INV.set(Decimal(inv));
    data::ITM.DOSF.set(date);
    data::ITM.CPT.set(cpt);
    data::ITM.FEE.set(*Decimal::parse(fee));
    ASSERT_EQ(data::recordFile(data::file::Item).add(), 0) << date;
}

void setClaim(int pat, int prv, int inv)
{
    data::INV.PAT.set(Decimal(pat));
    data::INV.PRV.set(Decimal(prv));
    data::INV.INV.set(Decimal(inv));
}

std::string dec(const Decimal& d) { return d.toString(); }

// The service list of a claim form: lines of the claim in the Invoice buffer
// by date, three range variables over a key of two parts, its total
// recomputed whenever the list is filled afresh and after every call.
class ServiceList : public test::BrowseFixture {
protected:
    BrowseDefinition def;
    std::function<shell::Response(shell::Request request)> editor;
    std::optional<Decimal> total;
    int reloads = 0, afterCalls = 0;

    void SetUp() override
    {
        BrowseFixture::SetUp();
        useFiles({&data::file::Item});
        // Claim 10 of patient 1 at provider 2, and what must not show in it.
        addLine(1, 2, 10, "20240301", "99213", "20.20");
        addLine(1, 2, 10, "20240105", "99212", "10.10");
        addLine(1, 2, 10, "20240110", "36415", "0.00");
        addLine(1, 2, 10, "20240102", "00003", "5.00");    // a transaction code, whatever its amount
        addLine(1, 2, 10, "20240103", "1", "-20.00");      // code 1 written short: the same code
        addLine(1, 2, 10, "20240104", "99211", "-3.00");   // a credit is no service
        addLine(9, 2, 10, "20240106", "99213", "70.00");   // the same number under another patient
        addLine(1, 3, 10, "20240107", "99213", "80.00");   // ... and another provider
        addLine(1, 2, 11, "20231201", "99214", "45.00");   // claim 11
        addLine(1, 2, 11, "20231215", "99214", "45.01");
        auto sum = [this] {
            auto s = engine->sumView({"ITM:FEE"});
            total = s ? std::optional<Decimal>((*s)[0]) : std::nullopt;
        };
        def = BrowseDefinition{
            .file = "Item",
            .list = 2,
            .format = "40R|~Date~@d2@28L|~CPT/HCPCS~@s7@56R|~$ Charges~@n-14.2@",
            .queue = {"ITM:DOSF", "ITM:CPT", "ITM:FEE", "ITM:INV"},
            .orders = {BrowseOrder("ITM:INVDOSKEY", {"INV:INV", "INV:PAT", "INV:PRV"}, kServiceFilter)
                           .limiting({"ITM:INV", "ITM:PAT", "ITM:PRV"})},
            .buttons = {"&Add", "&Delete", "&Change"},
            .updateForm =
                [this] {
                    shell::CallState s = shell::CallState::takeOver();
                    if (editor) s.localResponse = editor(s.localRequest);
                    s.giveBack();
                },
            .onReloaded =
                [this, sum] {
                    ++reloads;
                    sum();
                },
            .afterCall =
                [this, sum] {
                    ++afterCalls;
                    sum();
                },
        };
    }
};

TEST_F(ServiceList, ThreeRangeVariablesOverATwoPartKeyWithTheClaimFormsFilter)
{
    setClaim(1, 2, 10);
    openBrowse(def);
    // Service lines only, by date: no transaction code, no credit, no other claim.
    EXPECT_EQ(column(), (std::vector<std::string>{"20240105", "20240110", "20240301"}));
    EXPECT_EQ(column(2), (std::vector<std::string>{"10.10", "0.00", "20.20"}));
    EXPECT_EQ(reloads, 1);
    ASSERT_TRUE(total);
    EXPECT_EQ(dec(*total), "30.30");
    EXPECT_TRUE(messages.shown().empty());

    // The thumb spreads dates from the first to the last line of the claim
    // (56 days; entry 50 is 27 days on), not values of the claim number.
    const auto& t = engine->thumbTable();
    EXPECT_EQ(std::get<std::string>(t.entry(1)), "20240105");
    EXPECT_EQ(std::get<std::string>(t.entry(50)), "20240201");
    EXPECT_EQ(std::get<std::string>(t.entry(100)), "20240301");
    pick(2);  // 01/10 is 5 days on: the first entry at or after it is the 10th
    EXPECT_EQ(host.thumbPosition, 10);
    pick(3);
    EXPECT_EQ(host.thumbPosition, 100);

    // Dragging to the middle locates on that date within the claim.
    pick(1);
    engine->thumbDragged(50);
    host.deliver();
    EXPECT_EQ(highlightedText(), "20240301");
    EXPECT_EQ(engine->entryCount(), 3);

    // The step locator works on the date within the claim: "1" locates on
    // its first line, not on some other claim's.
    type('1');
    EXPECT_EQ(highlightedText(), "20240105");

    // A change of any of the three parent fields follows at the next refresh.
    setClaim(1, 2, 11);
    engine->refresh();
    host.deliver();
    EXPECT_EQ(column(), (std::vector<std::string>{"20231201", "20231215"}));
    EXPECT_EQ(dec(*total), "90.01");
    setClaim(1, 3, 10);
    engine->refresh();
    host.deliver();
    EXPECT_EQ(column(), (std::vector<std::string>{"20240107"}));
    EXPECT_EQ(dec(*total), "80.00");
    EXPECT_EQ(reloads, 3);
    // A refresh with the same claim does not read the lines again.
    engine->refresh();
    host.deliver();
    EXPECT_EQ(reloads, 3);
}

TEST_F(ServiceList, AddPrimesTheClaimAndEveryCallRecomputesTheTotal)
{
    setClaim(1, 2, 10);
    openBrowse(def);
    editor = [](shell::Request request) {
        EXPECT_EQ(request, shell::Request::Insert);
        // The new line belongs to the claim the list shows.
        EXPECT_EQ(data::ITM.PAT.value(), Decimal(1));
        EXPECT_EQ(data::ITM.PRV.value(), Decimal(2));
        EXPECT_EQ(data::ITM.INV.value(), Decimal(10));
        EXPECT_TRUE(data::ITM.DOSF.isBlank());
        data::ITM.DOSF.set("20240201");
        data::ITM.CPT.set("99213");
        data::ITM.FEE.set(*Decimal::parse("5.55"));
        EXPECT_EQ(data::recordFile(data::file::Item).add(), 0);
        return shell::Response::Completed;
    };
    host.pressButton(engine->buttonIndex(shell::BrowseRole::Add));
    host.deliver();
    EXPECT_EQ(highlightedText(), "20240201");
    EXPECT_EQ(engine->highlighted(), 3);
    EXPECT_EQ(afterCalls, 1);
    EXPECT_EQ(dec(*total), "35.85");

    // A button of the window's own runs the same after-call steps: here a
    // procedure that changes the highlighted line's charge.
    def.buttons.push_back(shell::customButton("&Open", [](shell::BrowseEngine& e) {
        e.call(shell::Request::Change, [] {
            shell::CallState s = shell::CallState::takeOver();
            data::ITM.FEE.set(*Decimal::parse("100.00"));
            EXPECT_EQ(data::recordFile(data::file::Item).put(), 0);
            s.localResponse = shell::Response::Completed;
            s.giveBack();
        });
    }));
    engine.reset();
    openBrowse(def);
    pick(3);
    host.pressButton(3);
    host.deliver();
    EXPECT_EQ(afterCalls, 2);
    EXPECT_EQ(highlightedText(), "20240201");
    EXPECT_EQ(highlightedText(2), "100.00");
    EXPECT_EQ(dec(*total), "130.30");  // 10.10 + 0.00 + 100.00 + 20.20

    // A read error while summing: message 35 for Item, the browse closes.
    platform::faults::failOn(platform::faults::Operation::Read, "Item", 1, platform::errc::DriverError);
    EXPECT_FALSE(engine->sumView({"ITM:FEE"}));
    ASSERT_EQ(messages.numbers(), std::vector<int>{35});
    EXPECT_TRUE(messages.shown()[0].text.contains("Item"));
    EXPECT_TRUE(host.closedWindow);

    // A list inside a form neither takes the form's request nor hands a
    // response back over the form's when it closes.
    shell::CallRequest = shell::Request::Change;
    shell::BrowseEngine inside(def);
    inside.openEmbedded();
    EXPECT_EQ(shell::CallRequest, shell::Request::Change);
    EXPECT_EQ(inside.localRequest(), shell::Request::None);
    shell::CallResponse = shell::Response::Completed;
    inside.close();
    EXPECT_EQ(shell::CallResponse, shell::Response::Completed);
}

// ------------------------------------------------------------ linked lists

// One list of a window with several.
struct Linked {
    test::HeadlessBrowseHost host;
    std::unique_ptr<shell::BrowseEngine> engine;

    void open(const BrowseDefinition& def, int page)
    {
        engine = std::make_unique<shell::BrowseEngine>(def);
        host.engine = engine.get();
        host.page = page;
        engine->attach(&host);
        engine->open();
        engine->windowOpened();
    }
    std::vector<std::string> column(int field) const { return test::columnOf(*engine, field); }
};

// An account status window: the claims with a balance, and for the
// highlighted one its services and its payments, each with a total over
// its whole filtered list.
TEST_F(ServiceList, LinkedListsFollowTheHighlightOfTheListBefore)
{
    files = std::make_unique<data::FileUse>(
        std::initializer_list<const platform::FileDef*>{&data::file::Item, &data::file::Invoice});
    // Patient, provider, claim, claim date, balance due.
    const struct { int pat, prv, inv; const char *date, *bdue; } claims[] = {
        {1, 2, 10, "20240101", "30.30"}, {1, 2, 11, "20231201", "90.01"}, {4, 1, 12, "20240201", "0.00"},
        {5, 1, 13, "20240202", "-5.00"}, {6, 1, 14, "20240203", "12.34"}};
    for (auto c : claims) {
        platform::clearRecord(data::file::Invoice, data::bytesOf(data::INV));
        setClaim(c.pat, c.prv, c.inv);
        data::INV.DATE.set(c.date);
        data::INV.BDUE.set(*Decimal::parse(c.bdue));
        ASSERT_EQ(data::recordFile(data::file::Invoice).add(), 0);
    }
    addLine(1, 2, 10, "20240108", "00004", "7.00");  // a refund typed positive: a payment
    std::optional<Decimal> claimsTotal, servicesTotal, paymentsTotal;
    Linked list[3];
    auto itemList = [&](int n, const char* kind, std::optional<Decimal>& sum) {
        const QString range = QStringLiteral("BRW%1::Sort1:Reset:").arg(n);
        return BrowseDefinition{
            .file = "Item",
            .list = n,
            .queue = {"ITM:DOSF", "ITM:CPT", "ITM:FEE"},
            .orders = {BrowseOrder("ITM:INVPATPRVKEY", {"INV:PAT", "INV:PRV", "INV:INV"},
                                   QStringLiteral("ITM:PAT = %1INV:PAT AND ITM:PRV = %1INV:PRV AND ITM:INV = %1INV:INV "
                                                  "AND %2")
                                       .arg(range, QString::fromLatin1(kind)))
                           .limiting({"ITM:PAT", "ITM:PRV", "ITM:INV"})},
            .onReloaded = [&list, n, &sum] { sum = (*list[n - 1].engine->sumView({"ITM:FEE"}))[0]; },
        };
    };
    const BrowseDefinition services = itemList(2, "(ITM:FEE > 0 AND ITM:CPT<>000004)", servicesTotal);
    const BrowseDefinition payments = itemList(3, "(ITM:FEE <= 0 OR ITM:CPT=00004)", paymentsTotal);
    const BrowseDefinition claimList{
        .file = "Invoice",
        .queue = {"INV:INV", "INV:BDUE"},
        .orders = {BrowseOrder("INV:PATPRVDATEKEY", {}, "(INV:BDUE > 0)")},
        .onReloaded = [&] { claimsTotal = (*list[0].engine->sumView({"INV:BDUE"}))[0]; },
        .onSelectionMoved =
            [&] {
                for (int i : {1, 2}) {
                    list[i].engine->refresh();
                    list[i].host.deliver();
                }
            },
    };
    list[1].open(services, 5);
    list[2].open(payments, 5);
    list[0].open(claimList, 2);
    list[0].host.deliver();

    // Claims with a balance, by provider: the total is over all of them,
    // not only the two rows the page shows.
    EXPECT_EQ(list[0].column(0), (std::vector<std::string>{"14", "11"}));
    EXPECT_EQ(dec(*claimsTotal), "132.65");
    EXPECT_TRUE(list[1].column(0).empty());  // claim 14 has no lines
    EXPECT_EQ(dec(*servicesTotal), "0.00");

    list[0].engine->scroll(ScrollEvent::Bottom);
    list[0].host.deliver();
    ASSERT_EQ(list[0].column(0), (std::vector<std::string>{"11", "10"}));
    // Claim 10: a code 3 line with a positive amount counts as a service
    // here; the refund typed positive and the zero charge as payments.
    EXPECT_EQ(list[1].column(2), (std::vector<std::string>{"5.00", "10.10", "20.20"}));
    EXPECT_EQ(dec(*servicesTotal), "35.30");
    EXPECT_EQ(list[2].column(1), (std::vector<std::string>{"1", "99211", "00004", "36415"}));
    EXPECT_EQ(dec(*paymentsTotal), "-16.00");

    list[0].host.row = 1;
    list[0].engine->newSelection();
    list[0].host.deliver();
    EXPECT_EQ(list[1].column(0), (std::vector<std::string>{"20231201", "20231215"}));
    EXPECT_EQ(dec(*servicesTotal), "90.01");
    EXPECT_TRUE(list[2].column(0).empty());
    EXPECT_EQ(dec(*paymentsTotal), "0.00");
    EXPECT_TRUE(messages.shown().empty());
}

// ------------------------------------------------------------- file order

// The rendering lookup reads its file in the order records were added: it
// has no key to locate on, so refreshing it must not lose the highlight.
using BrowseFileOrder = test::BrowseFixture;

TEST_F(BrowseFileOrder, KeepsTheHighlightedRecordOnFocusResizeAndAfterItsForm)
{
    useFiles({&data::file::Rendering});
    for (int i = 0; i < 12; ++i) {
        data::REN.F24J.set(std::to_string(1000 + i));
        data::REN.F24JNAME.set(std::string(1, char('Z' - i)) + "NAME");
        ASSERT_EQ(data::recordFile(data::file::Rendering).add(), 0);
    }
    std::function<shell::Response(shell::Request)> form;
    BrowseDefinition def{
        .file = "Rendering",
        .queue = {"REN:F24JNAME", "REN:F24J"},
        .orders = {BrowseOrder{}},
        .buttons = {"&Select", "&Add", "&Delete", "&Change", "&Close"},
        .updateForm =
            [&] {
                shell::CallState s = shell::CallState::takeOver();
                s.localResponse = form(s.localRequest);
                s.giveBack();
            },
    };
    openBrowse(def);
    auto& engine = *this->engine;
    auto at = [&] { return std::get<std::string>(engine.value(engine.highlighted(), 1)); };
    scroll(ScrollEvent::PageDown);
    pick(3);
    ASSERT_EQ(at(), "1007");

    engine.windowActivated();
    host.deliver();
    EXPECT_EQ(at(), "1007");
    host.page = 8;
    engine.windowResized();
    host.deliver();
    EXPECT_EQ(at(), "1007");
    EXPECT_EQ(engine.entryCount(), 8);

    // Its form changes the record; the list comes back on it, and stays
    // there when the window regains the focus afterwards.
    form = [](shell::Request request) {
        EXPECT_EQ(request, shell::Request::Change);
        data::REN.F24JNAME.set("CHANGED");
        EXPECT_EQ(data::recordFile(data::file::Rendering).put(), 0);
        return shell::Response::Completed;
    };
    engine.keyPressed(shell::ListKey::CtrlEnter);
    host.deliver();
    EXPECT_EQ(at(), "1007");
    EXPECT_EQ(std::get<std::string>(engine.value(engine.highlighted(), 0)), "CHANGED");
    engine.windowActivated();
    host.deliver();
    EXPECT_EQ(at(), "1007");

    // A record added goes to the end of the file and is highlighted there.
    form = [](shell::Request) {
        data::REN.F24J.set("2000");
        data::REN.F24JNAME.set("NEW");
        EXPECT_EQ(data::recordFile(data::file::Rendering).add(), 0);
        return shell::Response::Completed;
    };
    engine.keyPressed(shell::ListKey::Insert);
    host.deliver();
    EXPECT_EQ(at(), "2000");
    engine.windowActivated();
    host.deliver();
    EXPECT_EQ(at(), "2000");
    EXPECT_EQ(engine.highlighted(), engine.entryCount());
}

} // namespace
