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
} // namespace

TiffOptionsPane::TiffOptionsPane(CPaneSite* site, TiffSettings* settings)
    : CPaneBase(site), settings(settings), choice(settings->compressionChoice) {}

void TiffOptionsPane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group =
        new QGroupBox(QString::fromUtf8(LookupString(kStrings, IdsCompressionGroup)), root);
    outer->addWidget(group);
    auto* layout = new QVBoxLayout(group);
    buttons = new QButtonGroup(root);
    for (int n = 0; n < 5; ++n) {
        auto* button =
            new QRadioButton(QString::fromUtf8(LookupString(kStrings, IdUncompressed + n)), group);
        SetControlId(button, IdUncompressed + n);
        button->setProperty("helpId", kHelpIds[n]);
        buttons->addButton(button, n);
        layout->addWidget(button);
    }
    QObject::connect(buttons, &QButtonGroup::idClicked, root, [this](int n) {
        choice = n;
        NotifyChanged();
    });
}

void TiffOptionsPane::OnImage() {
    // Without an image yet nothing is offered or taken away.
    const bool bilevel = image == nullptr || image->BitCount() == 1;
    if (!bilevel) {
        // CCITT cannot encode deeper images: hide it and fall back to LZW.
        buttons->setExclusive(false);
        for (int id : {IdCcitt, IdHuffman}) {
            auto* button = Control<QRadioButton>(id);
            button->setChecked(false);
            button->setVisible(false);
        }
        buttons->setExclusive(true);
        if (choice == ChoiceCcitt || choice == ChoiceHuffman) {
            choice = ChoiceLzw;
            settings->compressionChoice = ChoiceLzw;
        }
    } else {
        Control<QRadioButton>(IdCcitt)->setVisible(true);
        Control<QRadioButton>(IdHuffman)->setVisible(true);
    }
    if (QAbstractButton* current = buttons->button(choice)) {
        current->setChecked(true);
    }
}

bool TiffOptionsPane::Commit() {
    settings->compressionChoice = choice;
    return true;
}

} // namespace pixmill::birch
