// The first start's offer of the sample practice.
#include "data/demopractice.h"
#include "data/file_access.h"
#include "platform/inifile.h"
#include "platform/rootdir.h"
#include "shell/startup.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kestrel;

TEST(SamplePractice, OfferedOnceOnAnEmptyRootWhateverTheAnswer)
{
    test::ScriptedMessages messages;
    test::TempDir declined, accepted;
    const platform::RootDir no(declined.path()), yes(accepted.path());
    ASSERT_TRUE(no.ensureExists());
    ASSERT_TRUE(yes.ensureExists());

    ASSERT_TRUE(data::setDataDirectory(no.dataDir()));
    messages.answer(data::Button::No);
    EXPECT_FALSE(shell::offerSamplePractice(no));
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_TRUE(messages.shown()[0].text.contains("Open a sample practice?"));
    EXPECT_TRUE(data::dataDirectoryIsEmpty());
    EXPECT_FALSE(shell::offerSamplePractice(no));
    EXPECT_EQ(messages.shown().size(), 1u) << "asked again after No";

    ASSERT_TRUE(data::setDataDirectory(yes.dataDir()));
    messages.answer(data::Button::Yes);
    EXPECT_TRUE(shell::offerSamplePractice(yes));
    EXPECT_EQ(messages.shown().size(), 2u);
    EXPECT_FALSE(data::dataDirectoryIsEmpty());
    EXPECT_EQ(platform::IniFile(yes.iniFile()).value(shell::kStartSection, shell::kSamplePracticeKey), "Yes");
    EXPECT_FALSE(shell::offerSamplePractice(yes));
    // A root that holds records is not asked even with no answer kept.
    ASSERT_TRUE(QFile::remove(yes.iniFile()));
    EXPECT_FALSE(shell::offerSamplePractice(yes));
    EXPECT_EQ(messages.shown().size(), 2u);
}
