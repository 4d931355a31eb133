#include "alderfmt_pane.h"

#include "alderfmt_strings.h"
#include "jpeg_encoder.h"
#include "pixmill/cv_image.h"
#include "pixmill/help.h"
#include "pixmill/up_down.h"
#include "size_target.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QSlider>
#include <QVBoxLayout>

namespace pixmill::alder {

namespace {

QString Text(int id) {
    return QString::fromUtf8(LookupString(kStrings, id));
}

// Empty text is 0; at most three digits can be typed.
constexpr TypingRules kLevelTyping = {false, true};

} // namespace

void JpegOptionsPane::Build(QWidget* root) {
    // F1 on a control opens its topic (the dialog's context help).
    auto withHelp = [](QWidget* control, int topic) {
        control->setProperty(kHelpIdProperty, topic);
    };

    auto* outer = new QVBoxLayout(root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(Text(IdsGroup), root);
    outer->addWidget(group);
    auto* grid = new QGridLayout(group);

    struct Level {
        JpegOptionsModel::Field field;
        int slider, edit, label, helpTopic, row;
    };
    const Level levels[2] = {
        {JpegOptionsModel::Luminance, IdLuminanceSlider, IdLuminanceEdit, IdsLuminance, 68, 1},
        {JpegOptionsModel::Chrominance, IdChrominanceSlider, IdChrominanceEdit, IdsChrominance, 70,
         3},
    };
    grid->addWidget(new QLabel(Text(IdsScale), group), 0, 1);
    for (const Level& level : levels) {
        auto* label = new QLabel(Text(level.label), group);
        QSlider* slider = CNumberControl::MakeSlider(group, level.slider, 16, 16);
        label->setBuddy(slider);
        QLineEdit* edit = CNumberControl::MakeEdit(group, level.edit, 3, "\\d{0,3}");
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        withHelp(slider, level.helpTopic);
        withHelp(edit, level.helpTopic);
        grid->addWidget(label, level.row, 0);
        grid->addWidget(slider, level.row, 1);
        grid->addWidget(edit, level.row, 2);
        // The 1..100 quality the level corresponds to, for those who know
        // JPEG quality from other programs; the level stays the setting.
        auto* quality = new QLabel(group);
        quality->setObjectName(level.field == JpegOptionsModel::Luminance
                                   ? QStringLiteral("luminanceQuality")
                                   : QStringLiteral("chrominanceQuality"));
        quality->setMinimumWidth(
            quality->fontMetrics().horizontalAdvance(QStringLiteral("quality 100")));
        grid->addWidget(quality, level.row, 3);
        QObject::connect(edit, &QLineEdit::textChanged, quality, [quality](const QString& text) {
            quality->setText(QStringLiteral("quality %1").arg(QualityOfLevel(text.toInt())));
        });
        BindNumber(model, level.field, {edit, slider}, kLevelTyping);
    }
    grid->addWidget(new QLabel(Text(IdsNumbers), group), 2, 1);

    auto* options = new QHBoxLayout;
    auto* progressive = new QCheckBox(Text(IdsProgressive), group);
    SetControlId(progressive, IdProgressive);
    withHelp(progressive, 71);
    auto* smoothing = new QCheckBox(Text(IdsSmoothing), group);
    SetControlId(smoothing, IdBlockSmoothing);
    withHelp(smoothing, 72);
    smoothing->setVisible(false);
    auto* lock = new QCheckBox(Text(IdsLock), group);
    SetControlId(lock, IdLockSliders);
    withHelp(lock, 73);
    auto* sharpenLabel = new QLabel(Text(IdsSharpen), group);
    QLineEdit* sharpen = CNumberControl::MakeEdit(group, IdSharpenEdit, 3, "\\d{0,3}");
    CUpDown* sharpenUpDown = CNumberControl::MakeUpDown(group, IdSharpenUpDown);
    sharpenLabel->setBuddy(sharpen);
    // The edit as wide as the level edits, with its arrows right beside it.
    sharpen->setFixedWidth(sharpen->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    auto* sharpenBox = new QHBoxLayout;
    sharpenBox->setSpacing(0);
    sharpenBox->addWidget(sharpen);
    sharpenBox->addWidget(sharpenUpDown);
    options->addWidget(progressive);
    options->addWidget(smoothing);
    options->addWidget(lock);
    options->addStretch(1);
    options->addWidget(sharpenLabel);
    options->addLayout(sharpenBox);
    grid->addLayout(options, 4, 0, 1, 4);
    BindNumber(model, JpegOptionsModel::Sharpen, {sharpen, nullptr, sharpenUpDown}, kLevelTyping);

    // Web encoding: its own tables and rate-optimised values.
    auto* web = new QCheckBox(Text(IdsWeb), group);
    SetControlId(web, IdWeb);
    withHelp(web, kHelpJpeg);
    grid->addWidget(web, 5, 0, 1, 4);

    // The largest file: the save dialog's preview shows the level chosen.
    auto* budget = new QHBoxLayout;
    auto* budgetLabel = new QLabel(Text(IdsTargetBytes), group);
    QLineEdit* budgetEdit = CNumberControl::MakeEdit(group, IdTargetBytesEdit, 10, "\\d{0,10}");
    budgetLabel->setBuddy(budgetEdit);
    budget->addWidget(budgetLabel);
    budget->addWidget(budgetEdit);
    auto* chosen = new QLabel(group);
    chosen->setObjectName(QStringLiteral("chosenLevel"));
    budget->addWidget(chosen);
    // The level each write chose for the size, shown on the pane's thread.
    listenerToken = SetChosenLevelListener([label = QPointer<QLabel>(chosen)](int level) {
        QMetaObject::invokeMethod(
            label,
            [label, level] {
                if (label) {
                    label->setText(level >= 0 ? QStringLiteral("chosen: level %1 (quality %2)")
                                                    .arg(level)
                                                    .arg(QualityOfLevel(level))
                                              : QString());
                }
            },
            Qt::QueuedConnection);
    });
    budget->addStretch(1);
    grid->addLayout(budget, 6, 0, 1, 4);
    BindNumber(model, JpegOptionsModel::TargetBytes, {budgetEdit}, kLevelTyping);

    QObject::connect(progressive, &QCheckBox::toggled, root, [this](bool on) {
        if (!Filling()) {
            Accept(model.SetProgressive(on));
        }
    });
    QObject::connect(web, &QCheckBox::toggled, root, [this](bool on) {
        if (!Filling()) {
            Accept(model.SetWeb(on));
        }
    });
    // Locking changes no level: the site hears nothing.
    QObject::connect(lock, &QCheckBox::toggled, root, [this](bool on) { model.SetLocked(on); });
}

JpegOptionsPane::~JpegOptionsPane() {
    ClearChosenLevelListener(listenerToken);
}

bool JpegOptionsPane::Commit() {
    model.Store(target);
    return CModelPane::Commit();
}

void JpegOptionsPane::OnImage() {
    // A grey picture is written with one component: no chrominance.
    model.SetGreyImage(Image() != nullptr && Image()->BitCount() == 8 && Image()->IsGray());
}

void JpegOptionsPane::OnRefresh() {
    Control<QCheckBox>(IdProgressive)->setChecked(model.Values().progressive != 0);
    Control<QCheckBox>(IdLockSliders)->setChecked(model.Values().lockSliders != 0);
    Control<QCheckBox>(IdWeb)->setChecked(model.Values().web != 0);
}

} // namespace pixmill::alder
