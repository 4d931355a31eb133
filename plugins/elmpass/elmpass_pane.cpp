#include "elmpass_pane.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <algorithm>

namespace pixmill::elmpass {

CStrengthPane::CStrengthPane(CPaneSite* site, FilterSettings* settings, int slot,
                             const char* caption)
    : CPaneBase(site), settings(settings), slot(slot), caption(caption != nullptr ? caption : "") {}

void CStrengthPane::Build(QWidget* root) {
    const SettingsField& field = StrengthField(slot);
    auto* layout = new QGridLayout(root);

    auto* label = new QLabel(QString::fromLatin1(caption.c_str()), root);
    SetControlId(label, IdStrengthCaption);
    layout->addWidget(label, 0, 0, 1, 2);

    auto* trackBar = new QSlider(Qt::Horizontal, root);
    SetControlId(trackBar, IdStrengthTrackBar);
    trackBar->setRange(static_cast<int>(field.minimum), static_cast<int>(field.maximum));
    trackBar->setPageStep(10);
    trackBar->setSingleStep(1);
    trackBar->setTickInterval(10);
    trackBar->setTickPosition(QSlider::TicksBelow);
    layout->addWidget(trackBar, 1, 0);

    auto* edit = new QLineEdit(root);
    SetControlId(edit, IdStrengthEdit);
    edit->setMaxLength(6);
    layout->addWidget(edit, 1, 1);

    const int strength = std::clamp(settings->strength[slot], static_cast<int>(field.minimum),
                                    static_cast<int>(field.maximum));
    trackBar->setValue(strength);
    edit->setText(QString::number(strength));

    QObject::connect(trackBar, &QSlider::valueChanged, root,
                     [this](int position) { TrackBarMoved(position); });
    QObject::connect(edit, &QLineEdit::textEdited, root,
                     [this](const QString& text) { EditTyped(text); });
}

void CStrengthPane::TrackBarMoved(int position) {
    if (syncing) {
        return;
    }
    Control<QLineEdit>(IdStrengthEdit)->setText(QString::number(position));
    NotifyChanged();
}

void CStrengthPane::EditTyped(const QString& text) {
    bool ok = false;
    const int typed = text.trimmed().toInt(&ok);
    if (!ok) {
        return; // an empty or partly typed number changes nothing yet
    }
    const SettingsField& field = StrengthField(slot);
    const int value =
        std::clamp(typed, static_cast<int>(field.minimum), static_cast<int>(field.maximum));
    auto* edit = Control<QLineEdit>(IdStrengthEdit);
    if (value != typed) {
        edit->setText(QString::number(value));
    }
    syncing = true;
    Control<QSlider>(IdStrengthTrackBar)->setValue(value);
    syncing = false;
    NotifyChanged();
}

bool CStrengthPane::Commit() {
    auto* trackBar = Control<QSlider>(IdStrengthTrackBar);
    if (trackBar == nullptr) {
        return false;
    }
    settings->paneFlag[slot] = 1;
    settings->strength[slot] = trackBar->value();
    return true;
}

} // namespace pixmill::elmpass
