#include "alderfmt_pane.h"

#include "alderfmt_strings.h"
#include "pixmill/cv_image.h"
#include "pixmill/help.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace pixmill::alder {

namespace {

const char* const kHelpProperty = "helpTopic";

// F1 on a control opens its help topic.
class HelpFilter : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress &&
            static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
            const QVariant topic = watched->property(kHelpProperty);
            if (topic.isValid()) {
                OpenHelpPage(topic.toInt());
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

int ReadNumber(const QString& text) {
    // At most three digits; empty text is 0.
    return text.isEmpty() ? 0 : text.toInt();
}

} // namespace

JpegOptionsPane::JpegOptionsPane(CPaneSite* site, JpegSettings* pluginSettings)
    : CPaneBase(site), pluginSettings(pluginSettings), values(*pluginSettings) {
    values.luminance = std::clamp<int32_t>(values.luminance, 0, 255);
    values.chrominance = std::clamp<int32_t>(values.chrominance, 0, 255);
    values.sharpen = std::clamp<int32_t>(values.sharpen, 0, 100);
}

template <class F> void JpegOptionsPane::Change(F&& change) {
    ++depth;
    change();
    --depth;
    if (depth == 0 && changed) {
        changed = false;
        NotifyChanged();
    }
}

void JpegOptionsPane::Build(QWidget* root) {
    auto* filter = new HelpFilter(root);
    auto withHelp = [filter](QWidget* control, int topic) {
        control->setProperty(kHelpProperty, topic);
        control->installEventFilter(filter);
    };

    auto* outer = new QVBoxLayout(root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* group = new QGroupBox(QString::fromUtf8(LookupString(kStrings, IdsGroup)), root);
    outer->addWidget(group);
    auto* grid = new QGridLayout(group);

    const SettingsField* levelFields[2] = {&LuminanceField(), &ChrominanceField()};
    const int sliderIds[2] = {IdLuminanceSlider, IdChrominanceSlider};
    const int editIds[2] = {IdLuminanceEdit, IdChrominanceEdit};
    const int labelTexts[2] = {IdsLuminance, IdsChrominance};
    const int helpTopics[2] = {68, 70};

    grid->addWidget(new QLabel(QString::fromUtf8(LookupString(kStrings, IdsScale)), group), 0, 1);
    for (int i = 0; i < 2; ++i) {
        const int row = i == 0 ? 1 : 3;
        auto* label = new QLabel(QString::fromUtf8(LookupString(kStrings, labelTexts[i])), group);
        auto* slider = new QSlider(Qt::Horizontal, group);
        SetControlId(slider, sliderIds[i]);
        slider->setRange(static_cast<int>(levelFields[i]->minimum),
                         static_cast<int>(levelFields[i]->maximum));
        slider->setSingleStep(1);
        slider->setPageStep(16);
        slider->setTickInterval(16);
        slider->setTickPosition(QSlider::TicksBelow);
        label->setBuddy(slider);
        auto* edit = new QLineEdit(group);
        SetControlId(edit, editIds[i]);
        edit->setMaxLength(3);
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,3}")), edit));
        edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
        withHelp(slider, helpTopics[i]);
        withHelp(edit, helpTopics[i]);
        grid->addWidget(label, row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(edit, row, 2);
        sliders[i] = slider;
        edits[i] = edit;
        const bool chrominance = i == 1;
        QObject::connect(edit, &QLineEdit::textChanged, root,
                         [this, chrominance] { LevelEdited(chrominance); });
        QObject::connect(slider, &QSlider::valueChanged, root,
                         [this, chrominance](int position) { SliderMoved(chrominance, position); });
    }
    grid->addWidget(new QLabel(QString::fromUtf8(LookupString(kStrings, IdsNumbers)), group), 2, 1);

    auto* options = new QHBoxLayout;
    auto* progressive =
        new QCheckBox(QString::fromUtf8(LookupString(kStrings, IdsProgressive)), group);
    SetControlId(progressive, IdProgressive);
    withHelp(progressive, 71);
    auto* smoothing = new QCheckBox(QString::fromUtf8(LookupString(kStrings, IdsSmoothing)), group);
    SetControlId(smoothing, IdBlockSmoothing);
    withHelp(smoothing, 72);
    smoothing->setVisible(false);
    auto* lock = new QCheckBox(QString::fromUtf8(LookupString(kStrings, IdsLock)), group);
    SetControlId(lock, IdLockSliders);
    withHelp(lock, 73);
    auto* sharpenLabel = new QLabel(QString::fromUtf8(LookupString(kStrings, IdsSharpen)), group);
    auto* sharpen = new QSpinBox(group);
    SetControlId(sharpen, IdSharpenUpDown);
    SetControlId(sharpen->findChild<QLineEdit*>(), IdSharpenEdit);
    sharpen->setRange(static_cast<int>(SharpenField().minimum),
                      static_cast<int>(SharpenField().maximum));
    sharpenLabel->setBuddy(sharpen);
    options->addWidget(progressive);
    options->addWidget(smoothing);
    options->addWidget(lock);
    options->addStretch(1);
    options->addWidget(sharpenLabel);
    options->addWidget(sharpen);
    grid->addLayout(options, 4, 0, 1, 3);

    // Fill from the settings copy (filling is set: nothing is reported).
    for (int i = 0; i < 2; ++i) {
        const int value = i == 0 ? values.luminance : values.chrominance;
        sliders[i]->setValue(value);
        edits[i]->setText(QString::number(value));
    }
    progressive->setChecked(values.progressive != 0);
    lock->setChecked(values.lockSliders != 0);
    sharpen->setValue(values.sharpen);

    QObject::connect(progressive, &QCheckBox::toggled, root, [this](bool on) {
        Change([&] {
            values.progressive = on ? 1 : 0;
            changed = true;
        });
    });
    QObject::connect(lock, &QCheckBox::toggled, root,
                     [this](bool on) { values.lockSliders = on ? 1 : 0; });
    QObject::connect(sharpen, &QSpinBox::valueChanged, root, [this] { SharpenEdited(); });
}

void JpegOptionsPane::LevelEdited(bool chrominance) {
    Change([&] {
        const int i = chrominance ? 1 : 0;
        const SettingsField& field = chrominance ? ChrominanceField() : LuminanceField();
        const QString text = edits[i]->text();
        const int typed = ReadNumber(text);
        const int value =
            std::clamp(typed, static_cast<int>(field.minimum), static_cast<int>(field.maximum));
        if (value != typed) {
            edits[i]->setText(QString::number(value)); // re-enters with the clamped text
            return;
        }
        if (sliders[i]->value() != value) {
            sliders[i]->setValue(value);
        }
        int32_t& level = chrominance ? values.chrominance : values.luminance;
        if (level != value) {
            level = value;
            changed = true;
        }
        const int32_t other = chrominance ? values.luminance : values.chrominance;
        if (values.lockSliders != 0 && other != value) {
            edits[1 - i]->setText(QString::number(value));
        }
    });
}

void JpegOptionsPane::SliderMoved(bool chrominance, int position) {
    Change([&] {
        const int i = chrominance ? 1 : 0;
        const QString text = QString::number(position);
        if (edits[i]->text() != text) {
            edits[i]->setText(text);
        }
        if (values.lockSliders != 0 && edits[1 - i]->text() != text) {
            edits[1 - i]->setText(text);
        }
    });
}

void JpegOptionsPane::SharpenEdited() {
    Change([&] {
        const int value = Control<QSpinBox>(IdSharpenUpDown)->value();
        if (values.sharpen != value) {
            values.sharpen = value;
            changed = true;
        }
    });
}

void JpegOptionsPane::OnImage() {
    // A grey picture is written with one component: no chrominance.
    chrominanceEnabled = !(Image() != nullptr && Image()->BitCount() == 8 && Image()->IsGray());
    sliders[1]->setEnabled(chrominanceEnabled);
    edits[1]->setEnabled(chrominanceEnabled);
}

bool JpegOptionsPane::Commit() {
    pluginSettings->luminance = values.luminance;
    pluginSettings->chrominance = values.chrominance;
    pluginSettings->progressive = values.progressive;
    pluginSettings->reserved1 = values.reserved1;
    pluginSettings->lockSliders = values.lockSliders;
    pluginSettings->reserved2 = values.reserved2;
    pluginSettings->sharpen = values.sharpen;
    return true;
}

} // namespace pixmill::alder
