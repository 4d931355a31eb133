#include "firscale_pane.h"
#include "resample.h"

#include "pixmill/cv_image.h"
#include "pixmill/up_down.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace pixmill::firscale {

namespace {

constexpr int kPercentMinimum = 1;
constexpr int kPercentMaximum = 9999;

const SettingsField& Field(const char* name) {
    return *FindField(kResampleSchema, name);
}
int PixelMinimum() {
    return static_cast<int>(Field("width").minimum);
}
int PixelMaximum() {
    return static_cast<int>(Field("width").maximum);
}

int ClampPixels(long long value) {
    return static_cast<int>(std::clamp<long long>(value, PixelMinimum(), PixelMaximum()));
}

// Context help topics of the controls.
void SetHelp(QWidget* control, int topic) {
    control->setProperty("helpId", topic);
}

} // namespace

ResamplePane::ResamplePane(CPaneSite* site, ResampleSettings& settings)
    : CPaneBase(site), settings(settings),
      width(ClampPixels(static_cast<uint16_t>(settings.width))),
      height(ClampPixels(static_cast<uint16_t>(settings.height))),
      keepAspect(settings.keepAspect != 0) {}

void ResamplePane::Build(QWidget* root) {
    auto* outer = new QVBoxLayout(root);
    auto* group = new QGroupBox(QStringLiteral("Fit to (in pixels)"), root);
    SetControlId(group, kIdGroup);
    outer->addWidget(group);
    auto* grid = new QGridLayout(group);

    auto addRow = [&](int row, const char* text, int labelId, int editId, int upDownId,
                      int percentId, int percentUpDownId, int percentLabelId, Side side,
                      int helpPixels, int helpPercent) {
        auto* label = new QLabel(QString::fromUtf8(text), group);
        SetControlId(label, labelId);
        auto* edit = new QLineEdit(group);
        SetControlId(edit, editId);
        edit->setMaxLength(5);
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d*"), edit));
        label->setBuddy(edit);
        auto* upDown = new CUpDown(group);
        SetControlId(upDown, upDownId);
        upDown->SetBuddy(edit);
        upDown->SetRange(PixelMinimum(), PixelMaximum());
        auto* percent = new QLineEdit(group);
        SetControlId(percent, percentId);
        percent->setMaxLength(4);
        percent->setValidator(new QRegularExpressionValidator(QRegularExpression("\\d*"), percent));
        auto* percentUpDown = new CUpDown(group);
        SetControlId(percentUpDown, percentUpDownId);
        percentUpDown->SetBuddy(percent);
        percentUpDown->SetRange(kPercentMinimum, kPercentMaximum);
        auto* percentLabel = new QLabel(QStringLiteral("%"), group);
        SetControlId(percentLabel, percentLabelId);
        for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(edit),
                           static_cast<QWidget*>(upDown)}) {
            SetHelp(w, helpPixels);
        }
        for (QWidget* w : {static_cast<QWidget*>(percentLabel), static_cast<QWidget*>(percent),
                           static_cast<QWidget*>(percentUpDown)}) {
            SetHelp(w, helpPercent);
        }
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(upDown, row, 2);
        grid->addWidget(percent, row, 3);
        grid->addWidget(percentUpDown, row, 4);
        grid->addWidget(percentLabel, row, 5);
        QObject::connect(edit, &QLineEdit::textChanged, root,
                         [this, editId, side] { EditChanged(editId, side, false); });
        QObject::connect(percent, &QLineEdit::textChanged, root,
                         [this, percentId, side] { EditChanged(percentId, side, true); });
    };
    addRow(0, "&Width :", kIdWidthLabel, kIdWidth, kIdWidthUpDown, kIdWidthPercent,
           kIdWidthPercentUpDown, kIdWidthPercentLabel, Side::Width, 92, 94);
    addRow(1, "&Height :", kIdHeightLabel, kIdHeight, kIdHeightUpDown, kIdHeightPercent,
           kIdHeightPercentUpDown, kIdHeightPercentLabel, Side::Height, 93, 95);

    auto* keep = new QCheckBox(QStringLiteral("&Maintain aspect ratio"), root);
    SetControlId(keep, kIdKeepAspect);
    SetHelp(keep, 96);
    outer->addWidget(keep);
    QObject::connect(keep, &QCheckBox::toggled, root, [this](bool checked) {
        if (filling) {
            return;
        }
        keepAspect = checked;
        NotifyChanged();
    });
    outer->addStretch(1);
}

void ResamplePane::OnImage() {
    // Without a current image (an operation set up for a batch run) there is
    // nothing to take a percentage of.
    const bool percentShown = Image() != nullptr;
    for (int id : {kIdWidthPercentLabel, kIdWidthPercent, kIdWidthPercentUpDown,
                   kIdHeightPercentLabel, kIdHeightPercent, kIdHeightPercentUpDown}) {
        if (QWidget* control = Control<QWidget>(id)) {
            control->setVisible(percentShown);
        }
    }
    Fill();
}

void ResamplePane::SetEditValue(int id, int value) {
    if (auto* edit = Control<QLineEdit>(id)) {
        edit->setText(QString::number(value));
    }
}

void ResamplePane::Fill() {
    SetEditValue(kIdWidth, width);
    SetEditValue(kIdHeight, height);
    if (Image() != nullptr) {
        const auto percentOf = [](int pixels, int dimension) {
            return static_cast<int>(std::clamp<long long>(std::llround(pixels * 100.0 / dimension),
                                                          0, kPercentMaximum));
        };
        SetEditValue(kIdWidthPercent, percentOf(width, std::max(Image()->Width(), 1)));
        SetEditValue(kIdHeightPercent, percentOf(height, std::max(Image()->Height(), 1)));
    }
    if (auto* keep = Control<QCheckBox>(kIdKeepAspect)) {
        keep->setChecked(keepAspect);
    }
}

void ResamplePane::EditChanged(int id, Side side, bool percent) {
    if (filling) {
        return; // a change this pane made itself
    }
    if (Image() == nullptr) {
        NotifyChanged(); // read when the pane commits
        return;
    }
    const long long typed = Control<QLineEdit>(id)->text().toLongLong();
    if (typed >= 32768) {
        filling = true;
        SetEditValue(id, PixelMaximum());
        filling = false;
        return;
    }
    const int value = static_cast<int>(std::max<long long>(typed, 1));
    const int imageWidth = std::max(Image()->Width(), 1);
    const int imageHeight = std::max(Image()->Height(), 1);
    const auto percentOf = [](int pixels, int dimension) {
        return static_cast<int>(
            std::clamp<long long>(std::llround(pixels * 100.0 / dimension), 0, kPercentMaximum));
    };

    filling = true;
    const bool isWidth = side == Side::Width;
    const int dimension = isWidth ? imageWidth : imageHeight;
    int pixels = value;
    if (percent) {
        pixels = ClampPixels(std::llround(dimension * static_cast<double>(value) * 0.01));
        SetEditValue(isWidth ? kIdWidth : kIdHeight, pixels);
    } else {
        SetEditValue(isWidth ? kIdWidthPercent : kIdHeightPercent, percentOf(pixels, dimension));
    }
    (isWidth ? width : height) = pixels;
    if (keepAspect) {
        // The other side follows, fitted into an unlimited box.
        if (isWidth) {
            height = ClampPixels(FitTargetSize(imageWidth, imageHeight, width, 32767).cy);
            SetEditValue(kIdHeight, height);
            SetEditValue(kIdHeightPercent, percentOf(height, imageHeight));
        } else {
            width = ClampPixels(FitTargetSize(imageWidth, imageHeight, 32767, height).cx);
            SetEditValue(kIdWidth, width);
            SetEditValue(kIdWidthPercent, percentOf(width, imageWidth));
        }
    }
    filling = false;
    NotifyChanged();
}

bool ResamplePane::Commit() {
    if (Image() == nullptr && Widget() != nullptr) {
        width = ClampPixels(Control<QLineEdit>(kIdWidth)->text().toLongLong());
        height = ClampPixels(Control<QLineEdit>(kIdHeight)->text().toLongLong());
    }
    settings.width = width;
    settings.height = height;
    settings.keepAspect = keepAspect ? 1 : 0;
    return true;
}

} // namespace pixmill::firscale
