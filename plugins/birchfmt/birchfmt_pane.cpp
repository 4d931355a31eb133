#include "birchfmt_pane.h"

#include "birchfmt_strings.h"
#include "pixmill/cv_image.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pixmill::birch {

namespace {
// Context help topics of the radio buttons, in control order.
constexpr int kHelpIds[] = {106, 107, 108, 110, 109};
constexpr int kChoiceCount = 5;
} // namespace

void TiffOptionsPane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group =
        new QGroupBox(QString::fromUtf8(LookupString(kStrings, IdsCompressionGroup)), root);
    outer->addWidget(group);
    auto* layout = new QVBoxLayout(group);
    buttons = new QButtonGroup(root);
    for (int n = 0; n < kChoiceCount; ++n) {
        auto* button =
            new QRadioButton(QString::fromUtf8(LookupString(kStrings, IdUncompressed + n)), group);
        SetControlId(button, IdUncompressed + n);
        button->setProperty("helpId", kHelpIds[n]);
        buttons->addButton(button, n);
        layout->addWidget(button);
    }
    QObject::connect(buttons, &QButtonGroup::idClicked, root,
                     [this](int n) { Accept(model.Set(TiffOptionsModel::Compression, n)); });
}

void TiffOptionsPane::OnImage() {
    if (model.SetImageBits(Image() != nullptr ? Image()->BitCount() : 0)) {
        // The fallback holds at once, as the save dialog may write without a commit.
        model.Store(settings);
    }
}

void TiffOptionsPane::OnRefresh() {
    // A choice not offered is hidden and unchecked; exclusivity would keep
    // the last checked button checked.
    buttons->setExclusive(false);
    for (int n = 0; n < kChoiceCount; ++n) {
        QAbstractButton* button = buttons->button(n);
        button->setVisible(model.Offered(n));
        button->setChecked(n == model.Choice());
    }
    buttons->setExclusive(true);
}

} // namespace pixmill::birch
