#pragma once
// The procedure (CPT/HCPCS) and diagnosis (ICD-10-CM) codes of the sample
// practice, with short descriptions of our own wording (at most 48
// characters, the width of CPT:CPTDESCRIPTION and ICD:ICDDES). Families that
// vary by level, site, size or side are generated from their parts. Sorted
// by code, no code twice.

#include <string>
#include <vector>

namespace kestrel::data {

struct DemoCode {
    std::string code;
    std::string description;
};

std::vector<DemoCode> demoProcedureCodes();
std::vector<DemoCode> demoDiagnosisCodes();

} // namespace kestrel::data
