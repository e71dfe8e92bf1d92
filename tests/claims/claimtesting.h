#pragma once
// Shared by the claim window tests: a data folder with a provider, a patient
// and the code tables a claim is entered from, and a form opened headless
// with the buffers exactly as its caller leaves them.
#include "data/records.h"
#include "platform/decimal.h"
#include "shell/formtesting.h"

#include <string>
#include <tuple>

namespace kestrel::test {

inline platform::Decimal money(const char* text) { return *platform::Decimal::parse(text); }

class ClaimTest : public FormTest {
protected:
    void addProvider(long long prv, const char* name, const char* tidx = "E")
    {
        addRecord(data::file::Provider, [&] {
            data::PRV.PRV.set(prv);
            data::PRV.PNAME.set(name);
            data::PRV.SSN.set("123456789");
            data::PRV.EIN.set("98-7654321");
            data::PRV.TIDX.set(tidx);
        });
    }
    void addPatient(long long pat, const char* name)
    {
        addRecord(data::file::Patient, [&] {
            data::PAT.PAT.set(pat);
            data::PAT.LNAME.set(name);
            data::PAT.ADD1.set("12 MAIN ST");
            data::PAT.ADD2.set("SPRINGFIELD");
            data::PAT.ADD3.set("IL");
            data::PAT.ADD4.set("62701");
        });
    }
    void addCpt(const char* code, const char* description)
    {
        addRecord(data::file::CPT48, [&] {
            data::CPT.CPTCODE.set(code);
            data::CPT.CPTDESCRIPTION.set(description);
        });
    }
    void addIcd(const char* code, const char* description)
    {
        addRecord(data::file::ICD48, [&] {
            data::ICD.ICDCODE.set(code);
            data::ICD.ICDDES.set(description);
        });
    }
    void addRendering(const char* id, const char* name)
    {
        addRecord(data::file::Rendering, [&] {
            data::REN.F24J.set(id);
            data::REN.F24JNAME.set(name);
            data::REN.F24JQ.set("G2");
        });
    }
    // A stored line of a claim.
    void addLine(long long prv, long long pat, long long inv, const char* dos, const char* cpt, const char* fee)
    {
        addRecord(data::file::Item, [&] {
            data::ITM.PRV.set(prv);
            data::ITM.PAT.set(pat);
            data::ITM.INV.set(inv);
            data::ITM.DOSF.set(dos);
            data::ITM.CPT.set(cpt);
            data::ITM.FEE.set(money(fee));
        });
    }
    // Every stored line as (INV, CPT, FEE).
    using Line = std::tuple<long long, std::string, std::string>;
    std::vector<Line> storedLines()
    {
        return records(data::file::Item, "ITM:INVDOSKEY", [] {
            return Line{data::ITM.INV.asInt(), std::string(data::ITM.CPT.trimmed()), data::ITM.FEE.value().toString()};
        });
    }
};

// One opening of a form with the buffers exactly as the caller left them.
class CalledForm : public UserForm {
public:
    CalledForm(const shell::FormDefinition& def, shell::Request request) : UserForm(def, request, Opened::AsLeft) {}
};

} // namespace kestrel::test

namespace kestrel::test {

// Calls the claim form as the patient claims browser does: the patient's
// record in the Patient buffer; for Add the claim buffer cleared with only
// INV:PAT set, for Change the claim re-read (watched) by its number.
// The browser keeps its files in use while the form runs.
struct ClaimsBrowserCall {
    ClaimsBrowserCall() : use{&data::file::Patient, &data::file::Invoice, &data::file::Item} {}

    void patient(long long pat)
    {
        data::PAT.PAT.set(pat);
        data::recordFile(data::file::Patient).get(data::file::Patient.keyIndex("PAT:PATKEY"));
    }
    void forInsert(long long pat)
    {
        patient(pat);
        data::clearRecord(data::file::Invoice, data::bytesOf(data::INV));
        data::INV.PAT.set(pat);
        shell::CallRequest = shell::Request::Insert;
    }
    void forChange(long long inv)
    {
        data::INV.INV.set(inv);
        auto& claims = data::recordFile(data::file::Invoice);
        claims.watch();
        EXPECT_EQ(claims.get(data::file::Invoice.keyIndex("INV:INVKEY")), 0);
        patient(data::INV.PAT.asInt());
        shell::CallRequest = shell::Request::Change;
    }

    data::FileUse use;
};

} // namespace kestrel::test

#include "shell/browsewindow.h"
#include "shell/formwindow.h"

#include <QApplication>
#include <QTimer>

namespace kestrel::test {

// Runs `action` on the next modal window for which `which` holds, from
// inside its loop; other modal windows are left alone.
inline void whenShown(std::function<bool(QWidget*)> which, std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, which, action] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !which(w)) return;
        timer->stop();
        timer->deleteLater();
        action(w);
    });
    timer->start();
}

inline bool isLookup(QWidget* w) { return w->findChild<shell::BrowseWindow*>() && !qobject_cast<shell::FormWindow*>(w); }
inline std::function<bool(QWidget*)> isForm(const char* field)
{
    return [field](QWidget* w) {
        auto* f = qobject_cast<shell::FormWindow*>(w);
        return f && f->entryOf(QLatin1String(field));
    };
}

// Picks the highlighted record of the next lookup browse.
inline void selectInNextLookup()
{
    whenShown(isLookup, [](QWidget* d) {
        for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
        d->findChild<shell::BrowseWindow*>()->button(shell::BrowseRole::Select)->click();
    });
}

} // namespace kestrel::test
