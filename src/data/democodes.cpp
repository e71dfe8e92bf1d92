#include "data/democodes.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace kestrel::data {

namespace {

using Codes = std::vector<DemoCode>;

void add(Codes& out, std::string code, std::string description) { out.push_back({std::move(code), std::move(description)}); }

// Consecutive codes from `first`, one per entry of `variants`, each
// described as `stem` followed by the variant.
void series(Codes& out, int first, std::string_view stem, std::initializer_list<std::string_view> variants)
{
    int code = first;
    for (std::string_view v : variants) add(out, std::to_string(code++), std::string(stem) + std::string(v));
}

// Visits by place of care and level of decision making.
void evaluationAndManagement(Codes& out)
{
    series(out, 99202, "Office visit, new patient, ", {"straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99211, "Office visit, established, ", {"nurse visit", "straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99221, "Hospital admission, ", {"low/straightforward", "moderate complexity", "high complexity"});
    series(out, 99231, "Hospital follow-up, ", {"low/straightforward", "moderate complexity", "high complexity"});
    series(out, 99238, "Hospital discharge day, ", {"30 minutes or less", "more than 30 minutes"});
    series(out, 99242, "Office consultation, ", {"straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99281, "Emergency department visit, ", {"minimal", "straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99304, "Nursing facility admission, ", {"low/straightforward", "moderate complexity", "high complexity"});
    series(out, 99307, "Nursing facility follow-up, ", {"straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99341, "Home visit, new patient, ", {"straightforward", "low complexity", "moderate complexity", "high complexity"});
    series(out, 99347, "Home visit, established, ", {"straightforward", "low complexity", "moderate complexity", "high complexity"});
    static constexpr std::string_view ages[] = {"under 1 year", "1 to 4 years", "5 to 11 years", "12 to 17 years",
                                                "18 to 39 years", "40 to 64 years", "65 years and over"};
    for (int i = 0; i < 7; ++i) {
        add(out, std::to_string(99381 + i), "Preventive visit, new, " + std::string(ages[i]));
        add(out, std::to_string(99391 + i), "Preventive visit, established, " + std::string(ages[i]));
    }
    add(out, "99401", "Preventive counseling, about 15 minutes");
    add(out, "99402", "Preventive counseling, about 30 minutes");
    add(out, "99406", "Tobacco cessation counseling, 3 to 10 minutes");
    add(out, "99407", "Tobacco cessation counseling, over 10 minutes");
}

// Skin: lesion removal by site group and diameter, wound repair by length.
void skin(Codes& out)
{
    static constexpr std::string_view sizes[] = {"up to 0.5 cm", "0.6 to 1.0 cm", "1.1 to 2.0 cm",
                                                 "2.1 to 3.0 cm", "3.1 to 4.0 cm", "over 4.0 cm"};
    static constexpr struct { int base; std::string_view what; } excisions[] = {
        {11400, "Excise benign, trunk/limbs, "},   {11420, "Excise benign, scalp/hand/foot, "},
        {11440, "Excise benign, face/lips, "},     {11600, "Excise malignant, trunk/limbs, "},
        {11620, "Excise malignant, scalp/hand/foot, "}, {11640, "Excise malignant, face/lips, "},
    };
    for (const auto& e : excisions)
        for (int i = 0; i < 6; ++i) add(out, std::to_string(e.base + (i == 5 ? 6 : i)), std::string(e.what) + std::string(sizes[i]));
    series(out, 12001, "Repair, scalp/trunk/limbs, ", {"up to 2.5 cm", "2.6 to 7.5 cm", "", "7.6 to 12.5 cm", "12.6 to 20.0 cm", "20.1 to 30.0 cm", "over 30.0 cm"});
    series(out, 12011, "Repair, face/ears/lips, ", {"up to 2.5 cm", "", "2.6 to 5.0 cm", "5.1 to 7.5 cm", "7.6 to 12.5 cm", "12.6 to 20.0 cm", "20.1 to 30.0 cm", "over 30.0 cm"});
    // The numbers left free in the two series above are not codes.
    std::erase_if(out, [](const DemoCode& c) { return c.description.back() == ' '; });
    add(out, "10060", "Drain skin abscess, simple or single");
    add(out, "10061", "Drain skin abscess, complicated or multiple");
    add(out, "10120", "Remove foreign body from skin, simple");
    add(out, "11102", "Tangential skin biopsy, single lesion");
    add(out, "11104", "Punch skin biopsy, single lesion");
    add(out, "11106", "Incisional skin biopsy, single lesion");
    add(out, "11200", "Remove skin tags, up to 15");
    add(out, "11720", "Debride nails, 1 to 5");
    add(out, "11721", "Debride nails, 6 or more");
    add(out, "11730", "Remove nail plate, single");
    add(out, "11750", "Remove nail and nail matrix");
    add(out, "17000", "Destroy premalignant lesion, first");
    add(out, "17003", "Destroy premalignant lesion, 2 to 14, each");
    add(out, "17110", "Destroy benign lesions, up to 14");
    add(out, "17111", "Destroy benign lesions, 15 or more");
}

// Joints, injections, vaccines and infusions.
void injections(Codes& out)
{
    add(out, "20550", "Inject tendon sheath or ligament");
    add(out, "20552", "Inject trigger points, 1 or 2 muscles");
    add(out, "20600", "Aspirate/inject small joint");
    add(out, "20605", "Aspirate/inject intermediate joint");
    add(out, "20610", "Aspirate/inject major joint");
    add(out, "29125", "Apply short arm splint");
    add(out, "29130", "Apply finger splint");
    add(out, "29515", "Apply short leg splint");
    add(out, "29540", "Strapping of ankle or foot");
    add(out, "36415", "Venous blood draw");
    add(out, "69210", "Remove impacted ear wax, one ear");
    add(out, "90460", "Vaccine administration with counseling, first");
    add(out, "90471", "Vaccine administration, first injection");
    add(out, "90472", "Vaccine administration, each additional");
    add(out, "90630", "Influenza vaccine, intradermal");
    add(out, "90658", "Influenza vaccine, split virus, injection");
    add(out, "90686", "Flu vaccine, quadrivalent, preservative-free");
    add(out, "90707", "Measles, mumps and rubella vaccine");
    add(out, "90715", "Tetanus, diphtheria and pertussis vaccine");
    add(out, "90732", "Pneumococcal polysaccharide vaccine");
    add(out, "90746", "Hepatitis B vaccine, adult");
    add(out, "96365", "Intravenous infusion, first hour");
    add(out, "96366", "Intravenous infusion, each additional hour");
    add(out, "96372", "Injection under skin or into muscle");
    add(out, "J1030", "Methylprednisolone acetate, 40 mg");
    add(out, "J1100", "Dexamethasone sodium phosphate, 1 mg");
    add(out, "J1885", "Ketorolac tromethamine, 15 mg");
    add(out, "J3301", "Triamcinolone acetonide, 10 mg");
    add(out, "J3420", "Vitamin B-12 injection, up to 1000 mcg");
}

// Laboratory, imaging and tests done in the office.
void diagnostics(Codes& out)
{
    static constexpr std::pair<std::string_view, std::string_view> labs[] = {
        {"80048", "Basic metabolic panel"},          {"80053", "Comprehensive metabolic panel"},
        {"80061", "Lipid panel"},                    {"80076", "Liver function panel"},
        {"81002", "Urinalysis, dipstick, no microscopy"}, {"81003", "Urinalysis, automated, no microscopy"},
        {"81025", "Urine pregnancy test"},           {"82270", "Stool occult blood test"},
        {"82565", "Creatinine, blood"},              {"82947", "Glucose, blood, quantitative"},
        {"82962", "Glucose, blood, by monitoring device"}, {"83036", "Hemoglobin A1c"},
        {"84153", "Prostate specific antigen, total"}, {"84443", "Thyroid stimulating hormone"},
        {"85018", "Hemoglobin"},                     {"85025", "Complete blood count with differential"},
        {"85610", "Prothrombin time"},               {"86580", "Tuberculosis skin test"},
        {"87070", "Bacterial culture, other source"}, {"87081", "Culture screen, single organism"},
        {"87086", "Urine culture, colony count"},    {"87804", "Influenza rapid test"},
        {"87880", "Strep A rapid test"},             {"93000", "Electrocardiogram with report"},
        {"93005", "Electrocardiogram, tracing only"}, {"93010", "Electrocardiogram, report only"},
        {"94010", "Spirometry"},                     {"94060", "Spirometry before and after bronchodilator"},
        {"94640", "Nebulizer treatment"},            {"94760", "Pulse oximetry, single reading"},
        {"92551", "Hearing screening, pure tone"},   {"99173", "Visual acuity screening"},
    };
    for (const auto& [code, what] : labs) add(out, std::string(code), std::string(what));
    // Plain films: body part, then the number of views.
    static constexpr struct { int code; std::string_view part; std::string_view views; } films[] = {
        {71045, "Chest", "single view"},      {71046, "Chest", "2 views"},
        {71047, "Chest", "3 views"},          {71048, "Chest", "4 or more views"},
        {72040, "Cervical spine", "2 or 3 views"}, {72070, "Thoracic spine", "2 views"},
        {72100, "Lumbar spine", "2 or 3 views"},   {73000, "Clavicle", "complete"},
        {73030, "Shoulder", "2 or more views"},    {73070, "Elbow", "2 views"},
        {73090, "Forearm", "2 views"},             {73100, "Wrist", "2 views"},
        {73110, "Wrist", "3 or more views"},       {73120, "Hand", "2 views"},
        {73130, "Hand", "3 or more views"},        {73140, "Fingers", "2 or more views"},
        {73502, "Hip", "2 or 3 views"},            {73560, "Knee", "1 or 2 views"},
        {73562, "Knee", "3 views"},                {73590, "Lower leg", "2 views"},
        {73600, "Ankle", "2 views"},               {73610, "Ankle", "3 or more views"},
        {73620, "Foot", "2 views"},                {73630, "Foot", "3 or more views"},
        {73650, "Heel", "2 or more views"},        {73660, "Toes", "2 or more views"},
    };
    for (const auto& f : films) add(out, std::to_string(f.code), "X-ray, " + std::string(f.part) + ", " + std::string(f.views));
    series(out, 97161, "Physical therapy evaluation, ", {"low complexity", "moderate complexity", "high complexity"});
    add(out, "97110", "Therapeutic exercise, each 15 minutes");
    add(out, "97112", "Neuromuscular reeducation, each 15 minutes");
    add(out, "97116", "Gait training, each 15 minutes");
    add(out, "97140", "Manual therapy, each 15 minutes");
    add(out, "97530", "Therapeutic activities, each 15 minutes");
}

// Diagnoses that vary by side: `code` + side digit, "right", "left", ...
void bySide(Codes& out, std::string_view code, std::string_view what, bool bilateral)
{
    add(out, std::string(code) + "1", std::string(what) + ", right");
    add(out, std::string(code) + "2", std::string(what) + ", left");
    if (bilateral) add(out, std::string(code) + "3", std::string(what) + ", both sides");
    add(out, std::string(code) + (bilateral ? "0" : "9"), std::string(what) + ", side unspecified");
}

void diagnosesBySite(Codes& out)
{
    static constexpr std::pair<char, std::string_view> sites[] = {
        {'1', "shoulder"}, {'2', "elbow"}, {'3', "wrist"}, {'4', "hand"}, {'5', "hip"}, {'6', "knee"}, {'7', "ankle and foot"}};
    for (const auto& [digit, site] : sites) {
        bySide(out, std::string("M25.5") + digit, "Pain in " + std::string(site), false);
        bySide(out, std::string("M25.4") + digit, "Effusion of " + std::string(site), false);
    }
    bySide(out, "H66.9", "Otitis media", true);
    bySide(out, "H10.3", "Acute conjunctivitis", true);
    bySide(out, "H61.2", "Impacted ear wax", true);
    bySide(out, "M17.1", "Primary osteoarthritis of knee", false);
    bySide(out, "M16.1", "Primary osteoarthritis of hip", false);
    bySide(out, "M75.1", "Rotator cuff tear or rupture", false);
    bySide(out, "M76.6", "Achilles tendinitis", false);
    // Asthma: severity, then complication.
    static constexpr std::pair<char, std::string_view> severity[] = {
        {'2', "mild intermittent"}, {'3', "mild persistent"}, {'4', "moderate persistent"}, {'5', "severe persistent"}};
    static constexpr std::string_view course[] = {"uncomplicated", "exacerbation", "status asthmaticus"};
    for (const auto& [digit, how] : severity)
        for (int c = 0; c < 3; ++c)
            add(out, std::string("J45.") + digit + char('0' + c), "Asthma, " + std::string(how) + ", " + std::string(course[c]));
}

void diagnoses(Codes& out)
{
    static constexpr std::pair<std::string_view, std::string_view> list[] = {
        {"B34.9", "Viral infection, unspecified"},      {"B35.1", "Fungal infection of nail"},
        {"D64.9", "Anemia, unspecified"},               {"E03.9", "Hypothyroidism, unspecified"},
        {"E11.22", "Type 2 diabetes with kidney disease"}, {"E11.40", "Type 2 diabetes with neuropathy"},
        {"E11.65", "Type 2 diabetes with high blood sugar"}, {"E11.9", "Type 2 diabetes without complication"},
        {"E55.9", "Vitamin D deficiency"},              {"E66.9", "Obesity, unspecified"},
        {"E78.00", "High cholesterol, pure"},           {"E78.1", "High triglycerides, pure"},
        {"E78.2", "Mixed hyperlipidemia"},              {"E78.5", "Hyperlipidemia, unspecified"},
        {"F17.210", "Cigarette dependence, uncomplicated"}, {"F32.9", "Major depression, single episode"},
        {"F41.1", "Generalized anxiety disorder"},      {"F41.9", "Anxiety disorder, unspecified"},
        {"F51.01", "Primary insomnia"},                 {"G43.909", "Migraine, unspecified"},
        {"G44.209", "Tension headache, unspecified"},   {"G47.33", "Obstructive sleep apnea"},
        {"I10", "Essential hypertension"},              {"I25.10", "Coronary artery disease"},
        {"I48.91", "Atrial fibrillation, unspecified"}, {"I50.9", "Heart failure, unspecified"},
        {"J00", "Common cold"},                         {"J01.90", "Acute sinusitis, unspecified"},
        {"J02.0", "Strep throat"},                      {"J02.9", "Acute sore throat"},
        {"J06.9", "Upper respiratory infection"},       {"J18.9", "Pneumonia, unspecified organism"},
        {"J20.9", "Acute bronchitis"},                  {"J30.9", "Allergic rhinitis, unspecified"},
        {"J44.9", "Chronic obstructive lung disease"},  {"J45.909", "Asthma, unspecified"},
        {"K21.9", "Reflux disease without esophagitis"}, {"K29.70", "Gastritis, unspecified"},
        {"K59.00", "Constipation, unspecified"},        {"L03.115", "Cellulitis of right lower limb"},
        {"L03.116", "Cellulitis of left lower limb"},   {"L08.9", "Local skin infection"},
        {"L20.9", "Atopic dermatitis"},                 {"L30.9", "Dermatitis, unspecified"},
        {"L57.0", "Actinic keratosis"},                 {"L60.0", "Ingrowing nail"},
        {"L72.3", "Sebaceous cyst"},                    {"L82.1", "Seborrheic keratosis"},
        {"M54.2", "Neck pain"},                         {"M54.50", "Low back pain, unspecified"},
        {"M62.830", "Muscle spasm of back"},            {"M79.1", "Muscle pain"},
        {"N18.3", "Chronic kidney disease, stage 3"},   {"N39.0", "Urinary tract infection"},
        {"R05.9", "Cough, unspecified"},                {"R10.9", "Abdominal pain, unspecified"},
        {"R11.0", "Nausea"},                            {"R42", "Dizziness"},
        {"R50.9", "Fever, unspecified"},                {"R51.9", "Headache, unspecified"},
        {"R53.83", "Fatigue"},                          {"R73.03", "Prediabetes"},
        {"Z00.00", "Adult checkup, no abnormal findings"}, {"Z00.01", "Adult checkup, abnormal findings"},
        {"Z00.121", "Child checkup, abnormal findings"}, {"Z00.129", "Child checkup, no abnormal findings"},
        {"Z01.419", "Gynecological exam, no abnormal findings"}, {"Z12.11", "Colon cancer screening"},
        {"Z13.220", "Lipid screening"},                 {"Z23", "Encounter for immunization"},
        {"Z68.30", "Body mass index 30.0 to 30.9, adult"}, {"Z79.4", "Long term use of insulin"},
        {"Z79.899", "Other long term drug therapy"},    {"Z87.891", "History of nicotine dependence"},
    };
    for (const auto& [code, what] : list) add(out, std::string(code), std::string(what));
    diagnosesBySite(out);
}

Codes sorted(Codes codes)
{
    std::sort(codes.begin(), codes.end(), [](const DemoCode& a, const DemoCode& b) { return a.code < b.code; });
    return codes;
}

} // namespace

std::vector<DemoCode> demoProcedureCodes()
{
    Codes out;
    skin(out);
    evaluationAndManagement(out);
    injections(out);
    diagnostics(out);
    return sorted(std::move(out));
}

std::vector<DemoCode> demoDiagnosisCodes()
{
    Codes out;
    diagnoses(out);
    return sorted(std::move(out));
}

} // namespace kestrel::data
