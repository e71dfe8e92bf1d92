// The detail lines under the manager lists: a value that fills its field's
// picture is shown whole, not clipped by its box.
#include "managers/facility.h"
#include "managers/insured.h"
#include "managers/payer.h"

#include "data/records.h"

#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace kestrel;

namespace {

TEST(FieldPanel, ValuesThatFillTheirPicturesInCapitalsOrDigitsAreShownWhole)
{
    struct Case {
        const char* what;
        shell::BrowsePanel panel;
        const platform::FileDef& file;
    };
    Case cases[] = {
        {"plan", managers::payerPanel(), data::file::Payer},
        {"insured", managers::insuredPanel(), data::file::Insured1},
        {"facility", managers::facilityPanel(), data::file::Facility},
    };
    for (const char* fill : {"N", "0"}) {
        for (Case& c : cases) {
            // Every line of these panels shows a text field: a record full
            // of one wide character fills each to its picture's width
            // ("@s12" shows twelve).
            unsigned char* record = data::fileByLabel(c.file.label)->bytes;
            std::memset(record, fill[0], std::size_t(c.file.recordLength));
            c.panel.fill();
            int boxes = 0;
            for (QLabel* box : c.panel.widget->findChildren<QLabel*>()) {
                if (box->frameShape() != QFrame::Panel) continue;
                ++boxes;
                ASSERT_FALSE(box->text().isEmpty()) << c.what;
                EXPECT_LE(box->fontMetrics().horizontalAdvance(box->text()), box->contentsRect().width())
                    << c.what << " " << box->accessibleName().toStdString() << " shows \""
                    << box->text().toStdString() << "\" clipped";
            }
            EXPECT_GT(boxes, 0) << c.what;
            data::clearRecord(c.file, record);
        }
    }
    for (Case& c : cases) delete c.panel.widget;
}

} // namespace
