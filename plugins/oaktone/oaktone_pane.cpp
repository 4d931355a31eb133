#include "oaktone_pane.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QVBoxLayout>

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

QGridLayout* AddFrame(QWidget* root, const QString& title) {
    auto* outer = new QVBoxLayout(root);
    auto* frame = new QGroupBox(title, root);
    outer->addWidget(frame);
    return new QGridLayout(frame);
}

} // namespace

// ------------------------------------------------------------- CChannelPane

template <class Model>
CChannelPane<Model>::CChannelPane(CPaneSite* site, AdjustSettings* settings,
                                  const char* const names[4])
    : CModelPane<Model, AdjustSettings>(site, *settings) {
    for (int i = 0; i < RowCount; ++i) {
        channelNames[i] = QString::fromLatin1(names[i]);
    }
}

template <class Model>
void CChannelPane<Model>::AddChannelCombo(QWidget* parent, QGridLayout* grid, int row, int column) {
    auto* combo = new QComboBox(parent);
    this->SetControlId(combo, IdChannelCombo);
    for (const QString& name : channelNames) {
        combo->addItem(name);
    }
    grid->addWidget(combo, row, column);
    QObject::connect(combo, &QComboBox::currentIndexChanged, this->Widget(), [this](int index) {
        if (!this->Filling()) {
            this->Accept(this->model.SetChannel(index));
        }
    });
}

template <class Model> void CChannelPane<Model>::OnRefresh() {
    this->template Control<QComboBox>(IdChannelCombo)->setCurrentIndex(this->model.Channel());
}

template class CChannelPane<TonePaneModel>;
template class CChannelPane<GammaPaneModel>;

// ----------------------------------------------------------------- TonePane

void TonePane::Build(QWidget* root) {
    QGridLayout* grid = AddFrame(root, QStringLiteral("Color &adjustment"));
    QWidget* frame = grid->parentWidget();
    for (int k = 0; k < 3; ++k) {
        grid->addWidget(new QLabel(QString::fromLatin1(kToneControls[k].label), frame), k, 0);
        QSlider* trackBar = CNumberControl::MakeSlider(frame, kToneControls[k].trackBar, 10, 10);
        grid->addWidget(trackBar, k, 1);
        QLineEdit* edit = CNumberControl::MakeEdit(frame, kToneControls[k].edit, 6);
        grid->addWidget(edit, k, 2);
        BindNumber(model, k, {edit, trackBar, nullptr, nullptr, kTrackBarOffset});
    }
    grid->addWidget(new QLabel(QStringLiteral("-100\t\t            0\t\t     100"), frame), 3, 1);
    AddChannelCombo(frame, grid, 4, 1);
}

// ---------------------------------------------------------------- GammaPane

void GammaPane::Build(QWidget* root) {
    QGridLayout* grid = AddFrame(root, QStringLiteral("Gamma correction"));
    QWidget* frame = grid->parentWidget();
    QSlider* trackBar = CNumberControl::MakeSlider(frame, IdGammaTrackBar, 10, 10);
    grid->addWidget(trackBar, 0, 0);
    // The edit only shows the gamma of the track bar's position.
    auto* edit = new QLineEdit(frame);
    SetControlId(edit, IdGammaEdit);
    edit->setReadOnly(true);
    grid->addWidget(edit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("0.1\t\t\t1\t\t\t10"), frame), 1, 0);
    AddChannelCombo(frame, grid, 2, 0);
    BindNumber(model, GammaPaneModel::Position, {nullptr, trackBar});
}

void GammaPane::OnRefresh() {
    CChannelPane::OnRefresh();
    Control<QLineEdit>(IdGammaEdit)->setText(QString::asprintf("%.2f", model.Gamma()));
}

} // namespace pixmill::oaktone
