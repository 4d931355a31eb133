#include "oaktone_pane.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace pixmill::oaktone {

namespace {

struct ToneControls {
    const char* label;
    int trackBar;
    int edit;
};
const ToneControls kToneControls[3] = {
    {"Brightness", IdBrightnessTrackBar, IdBrightnessEdit},
    {"Contrast", IdContrastTrackBar, IdContrastEdit},
    {"Intensity", IdIntensityTrackBar, IdIntensityEdit},
};

int MinTone() {
    return static_cast<int>(FindField(kAdjustSchema, "brightnessAll")->minimum);
}
int MaxTone() {
    return static_cast<int>(FindField(kAdjustSchema, "brightnessAll")->maximum);
}

QSlider* MakeTrackBar(QWidget* parent, int id, int first, int last) {
    auto* trackBar = new QSlider(Qt::Horizontal, parent);
    CPaneBase::SetControlId(trackBar, id);
    trackBar->setRange(first, last);
    trackBar->setSingleStep(1);
    trackBar->setPageStep(10);
    trackBar->setTickInterval(10);
    trackBar->setTickPosition(QSlider::TicksBelow);
    return trackBar;
}

QComboBox* MakeChannelCombo(QWidget* parent, const QString* names) {
    auto* combo = new QComboBox(parent);
    CPaneBase::SetControlId(combo, IdChannelCombo);
    for (int i = 0; i < RowCount; ++i) {
        combo->addItem(names[i]);
    }
    return combo;
}

} // namespace

double GammaOfPosition(int position) {
    return std::pow(10.0, (position - kTrackBarOffset) * 0.01);
}

int PositionOfGamma(double gamma) {
    if (!(gamma > 0)) {
        return kTrackBarOffset;
    }
    const long position = std::lround(kTrackBarOffset + 100.0 * std::log10(gamma));
    return static_cast<int>(std::clamp(position, 0L, 2L * kTrackBarOffset));
}

// ----------------------------------------------------------------- CTonePane

CTonePane::CTonePane(CPaneSite* site, AdjustSettings* settings, const char* const names[4])
    : CPaneBase(site), settings(settings), working(*settings) {
    for (int i = 0; i < RowCount; ++i) {
        channelNames[i] = QString::fromLatin1(names[i]);
    }
    channel = working.toneUsesAll ? RowAll : RowRed;
}

void CTonePane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    auto* frame = new QGroupBox(QStringLiteral("Color &adjustment"), root);
    outer->addWidget(frame);
    auto* grid = new QGridLayout(frame);

    for (int k = 0; k < 3; ++k) {
        grid->addWidget(new QLabel(QString::fromLatin1(kToneControls[k].label), frame), k, 0);
        QSlider* trackBar = MakeTrackBar(frame, kToneControls[k].trackBar,
                                         MinTone() + kTrackBarOffset, MaxTone() + kTrackBarOffset);
        grid->addWidget(trackBar, k, 1);
        auto* edit = new QLineEdit(frame);
        SetControlId(edit, kToneControls[k].edit);
        edit->setMaxLength(6);
        grid->addWidget(edit, k, 2);
        QObject::connect(trackBar, &QSlider::valueChanged, root,
                         [this, k](int position) { TrackBarMoved(k, position); });
        QObject::connect(edit, &QLineEdit::textEdited, root,
                         [this, k](const QString& text) { EditTyped(k, text); });
    }
    grid->addWidget(new QLabel(QStringLiteral("-100\t\t            0\t\t     100"), frame), 3, 1);

    QComboBox* combo = MakeChannelCombo(frame, channelNames);
    grid->addWidget(combo, 4, 1);
    combo->setCurrentIndex(channel);
    QObject::connect(combo, &QComboBox::currentIndexChanged, root,
                     [this](int index) { ChannelChosen(index); });
    ShowChannel();
}

void CTonePane::ShowChannel() {
    syncing = true;
    for (int k = 0; k < 3; ++k) {
        const int value = std::clamp<int>(working.tone[channel][k], MinTone(), MaxTone());
        Control<QSlider>(kToneControls[k].trackBar)->setValue(value + kTrackBarOffset);
        Control<QLineEdit>(kToneControls[k].edit)->setText(QString::number(value));
    }
    syncing = false;
}

void CTonePane::TrackBarMoved(int value, int position) {
    if (syncing) {
        return;
    }
    const int v = position - kTrackBarOffset;
    working.tone[channel][value] = static_cast<int16_t>(v);
    Control<QLineEdit>(kToneControls[value].edit)->setText(QString::number(v));
    NotifyChanged();
}

void CTonePane::EditTyped(int value, const QString& text) {
    bool ok = false;
    const int typed = text.trimmed().toInt(&ok);
    if (!ok) {
        return; // "-" or an empty edit: nothing to take yet
    }
    const int v = std::clamp(typed, MinTone(), MaxTone());
    if (v != typed) {
        Control<QLineEdit>(kToneControls[value].edit)->setText(QString::number(v));
    }
    working.tone[channel][value] = static_cast<int16_t>(v);
    syncing = true;
    Control<QSlider>(kToneControls[value].trackBar)->setValue(v + kTrackBarOffset);
    syncing = false;
    NotifyChanged();
}

void CTonePane::ChannelChosen(int index) {
    if (index < 0 || index >= RowCount) {
        return;
    }
    channel = index;
    working.toneUsesAll = index == RowAll ? 1 : 0;
    ShowChannel();
    NotifyChanged();
}

bool CTonePane::Commit() {
    settings->toneUsesAll = working.toneUsesAll;
    std::copy(&working.tone[0][0], &working.tone[0][0] + RowCount * 3, &settings->tone[0][0]);
    return true;
}

// ---------------------------------------------------------------- CGammaPane

CGammaPane::CGammaPane(CPaneSite* site, AdjustSettings* settings, const char* const names[4])
    : CPaneBase(site), settings(settings), working(*settings) {
    for (int i = 0; i < RowCount; ++i) {
        channelNames[i] = QString::fromLatin1(names[i]);
    }
    channel = working.gammaUsesAll ? RowAll : RowRed;
}

void CGammaPane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    auto* frame = new QGroupBox(QStringLiteral("Gamma correction"), root);
    outer->addWidget(frame);
    auto* grid = new QGridLayout(frame);

    const SettingsField* field = FindField(kAdjustSchema, "gammaAll");
    QSlider* trackBar = MakeTrackBar(frame, IdGammaTrackBar, PositionOfGamma(field->minimum),
                                     PositionOfGamma(field->maximum));
    trackBar->setValue(kTrackBarOffset);
    grid->addWidget(trackBar, 0, 0);
    auto* edit = new QLineEdit(frame);
    SetControlId(edit, IdGammaEdit);
    edit->setReadOnly(true);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("0.1\t\t\t1\t\t\t10"), frame), 1, 0);
    QComboBox* combo = MakeChannelCombo(frame, channelNames);
    grid->addWidget(combo, 2, 0);
    combo->setCurrentIndex(channel);

    QObject::connect(trackBar, &QSlider::valueChanged, root,
                     [this](int position) { TrackBarMoved(position); });
    QObject::connect(combo, &QComboBox::currentIndexChanged, root,
                     [this](int index) { ChannelChosen(index); });
    ShowChannel();
}

void CGammaPane::ShowChannel() {
    syncing = true;
    const double gamma = working.gamma[channel];
    Control<QSlider>(IdGammaTrackBar)->setValue(PositionOfGamma(gamma));
    Control<QLineEdit>(IdGammaEdit)->setText(QString::asprintf("%.2f", gamma));
    syncing = false;
}

void CGammaPane::TrackBarMoved(int position) {
    if (syncing) {
        return;
    }
    const double gamma = GammaOfPosition(position);
    working.gamma[channel] = gamma;
    Control<QLineEdit>(IdGammaEdit)->setText(QString::asprintf("%.2f", gamma));
    NotifyChanged();
}

void CGammaPane::ChannelChosen(int index) {
    if (index < 0 || index >= RowCount) {
        return;
    }
    channel = index;
    working.gammaUsesAll = index == RowAll ? 1 : 0;
    ShowChannel();
    NotifyChanged();
}

bool CGammaPane::Commit() {
    settings->gammaUsesAll = working.gammaUsesAll;
    std::copy(working.gamma, working.gamma + RowCount, settings->gamma);
    return true;
}

} // namespace pixmill::oaktone
