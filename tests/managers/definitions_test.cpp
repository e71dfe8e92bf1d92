// Every browse and form the managers declare, built as the program builds
// them. Names written as literals are checked by the compiler; what is left
// to run is what the compiler cannot see: labels put together at run time
// (the two insured files), and names that must belong to the declared file
// (a browse's keys, a form's numbering and duplicate key) or agree with one
// another.
#include "managers/auth.h"
#include "managers/codetables.h"
#include "managers/cptbrowse.h"
#include "managers/facility.h"
#include "managers/insured.h"
#include "managers/patientbrowse.h"
#include "managers/patientform.h"
#include "managers/payer.h"
#include "managers/providerbrowse.h"
#include "managers/providerform.h"
#include "managers/referring.h"
#include "managers/rendering.h"
#include "shell/browseengine.h"
#include "shell/formfiles.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace kestrel;
using shell::BrowseDefinition;
using shell::FormControl;
using shell::FormDefinition;

const std::function<const BrowseDefinition&()> kBrowses[] = {
    managers::authBrowse,          managers::icdBrowse,          managers::icdEditionBrowse,
    managers::box14QualifierBrowse, managers::box15QualifierBrowse, managers::cptBrowse,
    managers::facilityBrowse,      managers::insuredBrowse,      managers::otherInsuredBrowse,
    managers::patientBrowse,       managers::payerBrowse,        managers::providerBrowse,
    managers::providerLookup,      managers::referringBrowse,    managers::renderingBrowse,
};

const std::function<const FormDefinition&()> kForms[] = {
    managers::authForm,       managers::cptForm,         managers::icdForm,           managers::icdEditionForm,
    managers::box14QualifierForm, managers::box15QualifierForm, managers::facilityForm, managers::insuredForm,
    managers::otherInsuredForm, managers::patientForm,   managers::payerForm,         managers::providerForm,
    managers::referringForm,  managers::renderingForm,
};

TEST(Definitions, EveryBrowseNamesItsOwnFilesKeys)
{
    for (const auto& browse : kBrowses) {
        const BrowseDefinition& def = browse();
        SCOPED_TRACE(def.title.toStdString());
        ASSERT_FALSE(def.file.isEmpty());
        // The engine refuses a key of another file and a range longer than its key.
        std::unique_ptr<shell::BrowseEngine> engine;
        ASSERT_NO_THROW(engine = std::make_unique<shell::BrowseEngine>(def));
        for (std::size_t i = 0; i < def.queue.size(); ++i) {
            const shell::QueueField& q = def.queue[i];
            EXPECT_NE(q.isComputed(), !q.field.isEmpty()) << "queue field " << i;
            const QString name = q.isComputed() ? q.name : q.field.text();
            EXPECT_EQ(engine->queueFieldName(int(i)), QStringLiteral("BRW%1::").arg(def.list) + name);
        }
    }
}

TEST(Definitions, EveryFormNamesItsFieldsAndItsOwnFilesKeys)
{
    int inputs = 0;
    for (const auto& form : kForms) {
        const FormDefinition& def = form();
        SCOPED_TRACE(def.title.toStdString());
        // FormFiles refuses a key or field of another file than the form's.
        std::unique_ptr<shell::FormFiles> files;
        ASSERT_NO_THROW(files = std::make_unique<shell::FormFiles>(def.file, def.alsoUses));
        if (def.duplicateKey) {
            EXPECT_EQ(def.duplicateKey->key.file(), def.file);
            // The message names the key the duplicate test checks.
            EXPECT_EQ(def.duplicateKey->literal.compare(def.duplicateKey->key.text(), Qt::CaseInsensitive), 0)
                << def.duplicateKey->literal.toStdString();
        }
        if (def.numbering) {
            EXPECT_EQ(def.numbering->field.file(), def.file);
            // Numbered on a unique key whose first part is the number.
            EXPECT_TRUE(def.numbering->key.def().unique());
            EXPECT_EQ(def.numbering->key.def().parts[0], def.numbering->field.label());
        }
        for (const FormControl* c : def.inputs()) {
            ++inputs;
            EXPECT_FALSE(c->field.isEmpty()) << c->prompt.toStdString();
            if (c->kind == FormControl::Kind::Radio && !c->companionField.isEmpty()) {
                EXPECT_EQ(c->companionField.file(), c->field.file()) << c->prompt.toStdString();
            }
        }
    }
    EXPECT_GT(inputs, 100);
}

} // namespace
