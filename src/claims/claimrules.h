#pragma once
// The field rules of the claim form, each a small function named for what
// it keeps true. Used by claimform.cpp; kept apart so that the form's file
// reads like its tables.

#include "shell/formdefinition.h"
#include "shell/formengine.h"

namespace kestrel::claims::rules {

// The tip of every field that opens a browse.
inline constexpr const char* kBrowseTip = "Use mouse right button/ F12key to browse.";

// Provider of service (INV:PRV).
shell::Verdict providerOnEntry(shell::FormContext& f);
shell::Verdict providerNeedsADate(shell::FormContext& f);
void chooseProvider(shell::FormContext& f);
// Claim date: no claim without a provider.
shell::Verdict dateNeedsAProvider(shell::FormContext& f);
// Box 25 from the provider's SSN or EIN while blank.
shell::Verdict taxNumberFromProvider(shell::FormContext& f);

// A code that must be on file in its table; a browse when it is not.
enum class CodeTable { Box14Qualifier, Box15Qualifier, IcdEdition, Diagnosis };
shell::FieldRule codeOnFile(CodeTable table);
shell::LookupRule chooseCode(CodeTable table);

// Accident boxes.
shell::Verdict autoAccidentUnmarked(shell::FormContext& f);
shell::Verdict accidentState(shell::FormContext& f);
shell::Verdict otherAccidentUnmarked(shell::FormContext& f);
// Box 12.
shell::Verdict releaseUnmarked(shell::FormContext& f);
shell::Verdict signatureDate(shell::FormContext& f);
void chooseSignature(shell::FormContext& f);
// Referring provider, facility, the two insured.
void chooseReferring(shell::FormContext& f);
void chooseFacility(shell::FormContext& f);
shell::Verdict primaryInsured(shell::FormContext& f);
void choosePrimary(shell::FormContext& f);
void chooseSecondary(shell::FormContext& f);
// Fields whose related records or lines change what is shown.
shell::Verdict showAgain(shell::FormContext& f);

// Whether the claim windows' own Save is running its accept-all pass now.
bool savePassRunning();
class SavePass {
public:
    SavePass();
    ~SavePass();
    SavePass(const SavePass&) = delete;
    SavePass& operator=(const SavePass&) = delete;

private:
    bool was_;
};

} // namespace kestrel::claims::rules
