#include "cedarcol_pane.h"

#include "cedarcol.h"
#include "cedarcol_settings.h"
#include "cedarcol_strings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include <algorithm>

namespace pixmill::cedarcol {

namespace {

// An up-down control: the arrows of a spin box without its own text field,
// next to the edit it serves.
class UpDown : public QSpinBox {
  public:
    explicit UpDown(QWidget* parent) : QSpinBox(parent) {
        lineEdit()->hide();
        setFixedWidth(20);
    }
};

int Limit(const char* field, bool maximum) {
    const SettingsField& f = ColorInfoField(field);
    return static_cast<int>(maximum ? f.maximum : f.minimum);
}

// Labels of the dialogs.
constexpr const char* kThresholdText = "&Threshold:";
constexpr const char* kDitherText = "&Dithering:";
constexpr const char* kPaletteText = "&Palette:";
constexpr const char* kColorsText = "&Colors:";
constexpr const char* kBitsText = "&Bits:";
constexpr const char* kToleranceText = "&Web tolerance:";

QLabel* AddLabel(QGridLayout* grid, int row, const char* text, QWidget* buddy) {
    auto* label = new QLabel(QString::fromUtf8(text), grid->parentWidget());
    label->setBuddy(buddy);
    grid->addWidget(label, row, 0);
    return label;
}

// The smallest b >= 1 with 2^b >= n.
int BitsFor(int n) {
    int b = 1;
    while ((1 << b) < n) {
        ++b;
    }
    return b;
}

} // namespace

// ------------------------------------------------------------ NumberControl

void NumberControl::BuildWithUpDown(QWidget* parent, int editId, int upDownId, int min, int max,
                                    int maxChars) {
    minimum = min;
    maximum = max;
    edit = new QLineEdit(parent);
    edit->setMaxLength(maxChars);
    edit->setValidator(new QIntValidator(0, 999999, edit));
    CPaneBase::SetControlId(edit, editId);
    upDown = new UpDown(parent);
    upDown->setRange(min, max);
    CPaneBase::SetControlId(upDown, upDownId);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this] { Typed(); });
    QObject::connect(upDown, &QSpinBox::valueChanged, edit, [this](int v) { Moved(v); });
}

void NumberControl::BuildWithTrackBar(QWidget* parent, int trackBarId, int editId, int min, int max,
                                      int maxChars) {
    minimum = min;
    maximum = max;
    trackBar = new QSlider(Qt::Horizontal, parent);
    trackBar->setRange(min, max);
    trackBar->setPageStep(1);
    trackBar->setTickPosition(QSlider::TicksBelow);
    CPaneBase::SetControlId(trackBar, trackBarId);
    edit = new QLineEdit(parent);
    edit->setMaxLength(maxChars);
    edit->setValidator(new QIntValidator(0, 999999, edit));
    CPaneBase::SetControlId(edit, editId);
    QObject::connect(edit, &QLineEdit::textEdited, edit, [this] { Typed(); });
    QObject::connect(trackBar, &QSlider::valueChanged, edit, [this](int v) { Moved(v); });
}

QWidget* NumberControl::Buddy() const {
    return upDown != nullptr ? static_cast<QWidget*>(upDown) : static_cast<QWidget*>(trackBar);
}

int NumberControl::Value() const {
    return std::clamp(edit->text().toInt(), minimum, maximum);
}

void NumberControl::Show(int value) {
    value = std::clamp(value, minimum, maximum);
    edit->setText(QString::number(value));
    if (upDown != nullptr) {
        const QSignalBlocker blocker(upDown);
        upDown->setValue(value);
    } else {
        const QSignalBlocker blocker(trackBar);
        trackBar->setValue(value);
    }
}

void NumberControl::SetEnabled(bool enabled) {
    edit->setEnabled(enabled);
    Buddy()->setEnabled(enabled);
}

void NumberControl::Typed() {
    if (edit->text().toInt() > maximum) {
        edit->setText(QString::number(maximum));
    }
    const int value = Value();
    if (upDown != nullptr) {
        const QSignalBlocker blocker(upDown);
        upDown->setValue(value);
    } else {
        const QSignalBlocker blocker(trackBar);
        trackBar->setValue(value);
    }
    if (reaction) {
        reaction(value);
    }
}

void NumberControl::Moved(int value) {
    edit->setText(QString::number(value));
    if (reaction) {
        reaction(value);
    }
}

// ---------------------------------------------------------- black and white

CBlackWhitePane::CBlackWhitePane(CPaneSite* site, CColorPlugin* plugin)
    : CPaneBase(site), plugin(plugin) {}

void CBlackWhitePane::Build(QWidget* root) {
    auto* grid = new QGridLayout(root);
    threshold.BuildWithUpDown(root, IdcThreshold, IdcThresholdUpDown, Limit("threshold", false),
                              Limit("threshold", true), 3);
    dither.BuildWithTrackBar(root, IdcDither, IdcDitherEdit, 0, kMaxDitherLevel, 2);

    thresholdLabel = AddLabel(grid, 0, kThresholdText, threshold.Edit());
    SetControlId(thresholdLabel, IdcThresholdLabel);
    grid->addWidget(threshold.Edit(), 0, 1);
    grid->addWidget(threshold.Buddy(), 0, 2);
    AddLabel(grid, 1, kDitherText, dither.Buddy());
    grid->addWidget(dither.Buddy(), 1, 1);
    grid->addWidget(dither.Edit(), 1, 2);

    threshold.Show(plugin->settings.threshold);
    dither.Show(plugin->ditherLevel);
    UpdateEnabled();

    threshold.OnChange([this](int) { NotifyChanged(); });
    dither.OnChange([this](int) {
        UpdateEnabled();
        NotifyChanged();
    });
}

void CBlackWhitePane::UpdateEnabled() {
    const bool direct = dither.Value() == 0;
    threshold.SetEnabled(direct);
    thresholdLabel->setEnabled(direct);
}

bool CBlackWhitePane::Commit() {
    if (!root) {
        return false;
    }
    plugin->settings.threshold = static_cast<int16_t>(threshold.Value());
    plugin->ditherLevel = dither.Value();
    return true;
}

// ----------------------------------------------------------------- paletted

CPalettePane::CPalettePane(CPaneSite* site, CColorPlugin* plugin)
    : CPaneBase(site), plugin(plugin) {}

void CPalettePane::Build(QWidget* root) {
    auto* grid = new QGridLayout(root);
    kindBox = new QComboBox(root);
    SetControlId(kindBox, IdcPaletteKind);
    for (int kind = 0; kind < kPaletteKindCount; ++kind) {
        kindBox->addItem(QString::fromUtf8(LookupString(kStrings, IdsPaletteKindFirst + kind)));
    }
    const int minColors = Limit("colorCount", false), maxColors = Limit("colorCount", true);
    colors.BuildWithUpDown(root, IdcColors, IdcColorsUpDown, minColors, maxColors, 3);
    bits.BuildWithUpDown(root, IdcBits, IdcBitsUpDown, 1, 8, 1);
    dither.BuildWithTrackBar(root, IdcDither, IdcDitherEdit, 0, kMaxDitherLevel, 2);
    tolerance.BuildWithTrackBar(root, IdcTolerance, IdcToleranceEdit, 0, kMaxTolerance, 2);

    AddLabel(grid, 0, kPaletteText, kindBox);
    grid->addWidget(kindBox, 0, 1, 1, 2);
    AddLabel(grid, 1, kColorsText, colors.Edit());
    grid->addWidget(colors.Edit(), 1, 1);
    grid->addWidget(colors.Buddy(), 1, 2);
    AddLabel(grid, 2, kBitsText, bits.Edit());
    grid->addWidget(bits.Edit(), 2, 1);
    grid->addWidget(bits.Buddy(), 2, 2);
    AddLabel(grid, 3, kDitherText, dither.Buddy());
    grid->addWidget(dither.Buddy(), 3, 1);
    grid->addWidget(dither.Edit(), 3, 2);
    AddLabel(grid, 4, kToleranceText, tolerance.Buddy());
    grid->addWidget(tolerance.Buddy(), 4, 1);
    grid->addWidget(tolerance.Edit(), 4, 2);

    adaptiveColors =
        std::clamp(static_cast<int>(plugin->settings.colorCount), minColors, maxColors);
    adaptiveTolerance = plugin->tolerance;
    dither.Show(plugin->ditherLevel);
    const int kind =
        std::clamp(static_cast<int>(plugin->settings.paletteKind), 0, kPaletteKindCount - 1);
    kindBox->setCurrentIndex(kind);
    KindChosen(kind);

    QObject::connect(kindBox, &QComboBox::currentIndexChanged, root, [this](int index) {
        KindChosen(index);
        NotifyChanged();
    });
    colors.OnChange([this](int n) {
        bits.Show(BitsFor(n));
        if (kindBox->currentIndex() == PaletteAdaptive) {
            adaptiveColors = n;
        }
        NotifyChanged();
    });
    bits.OnChange([this](int b) {
        colors.Show(1 << b);
        if (kindBox->currentIndex() == PaletteAdaptive) {
            adaptiveColors = colors.Value();
        }
        NotifyChanged();
    });
    dither.OnChange([this](int) { NotifyChanged(); });
    tolerance.OnChange([this](int t) {
        adaptiveTolerance = t;
        NotifyChanged();
    });
}

void CPalettePane::ShowColors(int n) {
    colors.Show(n);
    bits.Show(BitsFor(colors.Value()));
}

void CPalettePane::KindChosen(int kind) {
    switch (kind) {
    case PaletteWindows:
    case PaletteMacintosh:
        ShowColors(kind == PaletteWindows ? 236 : 256);
        colors.SetEnabled(false);
        bits.SetEnabled(false);
        tolerance.Show(0);
        tolerance.SetEnabled(false);
        break;
    case PaletteNetscape:
    case PaletteExplorer:
        ShowColors(216);
        colors.SetEnabled(true);
        bits.SetEnabled(true);
        tolerance.Show(kMaxTolerance);
        tolerance.SetEnabled(false);
        break;
    default:
        ShowColors(adaptiveColors);
        colors.SetEnabled(true);
        bits.SetEnabled(true);
        tolerance.Show(adaptiveTolerance);
        tolerance.SetEnabled(true);
        break;
    }
}

bool CPalettePane::Commit() {
    if (!root) {
        return false;
    }
    const int kind = kindBox->currentIndex();
    plugin->settings.paletteKind = kind;
    plugin->settings.colorCount = colors.Value();
    plugin->ditherLevel = dither.Value();
    plugin->tolerance = tolerance.Value();
    plugin->LoadPalette(kind);
    return true;
}

} // namespace pixmill::cedarcol
