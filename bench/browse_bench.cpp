// The CPT/HCPCS browse engine, headless, over CPT48 files of 10,000 and
// 1,000,000 codes (built once in /tmp/kestrel-bench and reused), with a page
// of 20 rows:
//   Open          open the browse, first fill, thumb table, close
//   PageDown100   100 page-down events from the top
//   ThumbDrag50   drag the thumb to the middle (a locate and a page)
//   TypeLetter    a letter typed in the list (step locator: a locate)
// Goal: no action grows with the file; each on 1,000,000 codes within 1.5x
// of the same action on 10,000.
#include "data/file_access.h"
#include "data/records.h"
#include "managers/cptbrowse.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "shell/browseengine.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>

#include <random>

using namespace kestrel;

namespace {

// A host with a list of 20 rows that runs posted events at once.
class Host final : public shell::BrowseHost {
public:
    shell::BrowseEngine* engine = nullptr;
    int row = 0;
    bool posted = false;

    int pageSize() const override { return 20; }
    int currentRow() const override { return row; }
    void setCurrentRow(int r) override { row = r; }
    void setScrollBarVisible(bool) override {}
    void setThumb(int) override {}
    void setChangeDeleteEnabled(bool) override {}
    void setSelectButton(bool, bool) override {}
    void pressButton(int i) override { engine->buttonPressed(i); }
    void redisplay() override {}
    void postNewSelection() override { posted = true; }
    int popupMenu(const QString&) override { return 0; }
    void focusList() override {}
    void setWaitCursor(bool) override {}
    void showHelp(const QString&) override {}
    void closeWindow() override {}

    void deliver()
    {
        while (posted) {
            posted = false;
            engine->newSelection();
        }
    }
};

// Codes "A000000".."Z0nnnnn" (a letter then six digits, the letters taking
// turns), descriptions from a few words in random order.
QString cptFiles(int count)
{
    QString dir = QStringLiteral("/tmp/kestrel-bench/cpt-%1").arg(count);
    if (QFile::exists(dir + "/complete")) return dir;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    data::setDataDirectory(dir);
    {
        data::FileUse use{&data::file::CPT48};
        platform::RecordFile& file = data::recordFile(data::file::CPT48);
        static const char* const words[] = {"OFFICE", "VISIT", "INJECTION", "XRAY", "THERAPY", "PANEL",
                                            "SURGERY", "CONSULT", "IMAGING", "SUPPLY", "DRUG", "EXAM"};
        std::mt19937 rng(7);
        for (int done = 0; done < count;) {
            platform::Transaction t({&file});
            t.start();
            for (int k = 0; k < 20000 && done < count; ++k, ++done) {
                char code[8];
                std::snprintf(code, sizeof code, "%c%06d", 'A' + done % 26, done / 26);
                std::string desc = std::string(words[rng() % 12]) + " " + words[rng() % 12] + " " +
                                   std::to_string(rng() % 1000);
                data::CPT.CPTCODE.set(code);
                data::CPT.CPTDESCRIPTION.set(desc);
                file.add();
            }
            t.commit();
        }
    }
    QFile marker(dir + "/complete");
    marker.open(QIODevice::WriteOnly);
    return dir;
}

// The file in use for the whole run (as a frame with another window on the
// same table would hold it), so that the actions measure the browse.
struct Files {
    explicit Files(int count)
    {
        data::setDataDirectory(cptFiles(count));
        use = std::make_unique<data::FileUse>(std::initializer_list<const platform::FileDef*>{&data::file::CPT48});
    }
    std::unique_ptr<data::FileUse> use;
};

struct Browse {
    Host host;
    // The CPT/HCPCS browse exactly as the manager declares it.
    shell::BrowseEngine engine{managers::cptBrowse()};
    Browse()
    {
        host.engine = &engine;
        engine.attach(&host);
        shell::clearCallProtocol();
        engine.open();
        engine.windowOpened();
        host.deliver();
    }
};

void Open(benchmark::State& state)
{
    Files files(int(state.range(0)));
    for (auto _ : state) {
        Browse b;
        benchmark::DoNotOptimize(b.engine.entryCount());
        b.engine.close();
    }
}

void PageDown100(benchmark::State& state)
{
    Files files(int(state.range(0)));
    Browse b;
    for (auto _ : state) {
        state.PauseTiming();
        b.engine.scroll(shell::ScrollEvent::Top);
        b.host.deliver();
        state.ResumeTiming();
        for (int i = 0; i < 100; ++i) {
            b.engine.scroll(shell::ScrollEvent::PageDown);
            b.host.deliver();
        }
    }
    if (b.engine.entryCount() != 20) state.SkipWithError("page not full");
    state.SetItemsProcessed(state.iterations() * 100);
}

void ThumbDrag50(benchmark::State& state)
{
    Files files(int(state.range(0)));
    Browse b;
    for (auto _ : state) {
        b.engine.thumbDragged(50);
        b.host.deliver();
    }
    state.counters["highlighted"] = b.engine.highlighted();
}

void TypeLetter(benchmark::State& state)
{
    Files files(int(state.range(0)));
    Browse b;
    bool q = true;
    for (auto _ : state) {
        b.engine.characterTyped(q ? 'q' : 'r');
        b.host.deliver();
        q = !q;
    }
}

BENCHMARK(Open)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PageDown100)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(ThumbDrag50)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);
BENCHMARK(TypeLetter)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
