// The pane plumbing with the offscreen Qt platform: the pane is built inside
// the site's parent widget, controls are found by identifier, changes reach
// the site except while the pane fills its own controls.
#include "pixmill/cv_image.h"
#include "pixmill/pane_base.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <QSpinBox>
#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::test;

namespace {

class WidthPane : public CPaneBase {
  public:
    using CPaneBase::CPaneBase;
    bool Commit() override {
        committed = Control<QSpinBox>(1000)->value();
        return true;
    }
    int committed = 0;

  protected:
    void Build(QWidget* root) override {
        auto* box = new QSpinBox(root);
        SetControlId(box, 1000);
        box->setRange(1, 65535);
        QObject::connect(box, &QSpinBox::valueChanged, root, [this] { NotifyChanged(); });
    }
    void OnImage() override {
        if (Image() != nullptr) {
            Control<QSpinBox>(1000)->setValue(Image()->Width());
        }
    }
};

} // namespace

TEST(PaneKit, PaneLivesInTheSiteWindow) {
    EnsureApplication();
    TestHost host;
    CVImage image(host.get());
    image.Create(321, 10, 24, 0, nullptr);
    TestPaneSite site;
    site.image = &image;
    auto* pane = new WidthPane(&site);
    QWidget* widget = pane->Create();
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), &site.parent);
    auto* box = pane->Control<QSpinBox>(1000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->property("controlId").toInt(), 1000);
    EXPECT_EQ(box->value(), 321);
    EXPECT_EQ(site.changes, 0) << "filling the controls is not a change";
    box->setValue(55);
    EXPECT_EQ(site.changes, 1);
    EXPECT_TRUE(pane->Commit());
    EXPECT_EQ(pane->committed, 55);
    image.Create(99, 10, 24, 0, nullptr);
    pane->SetImage(&image);
    EXPECT_EQ(box->value(), 99);
    EXPECT_EQ(site.changes, 1);
    delete pane;
    EXPECT_TRUE(site.parent.findChildren<QWidget*>().isEmpty()) << "the pane's widgets go with it";
}
