#include "pixmill/number_control.h"

#include "pixmill/pane_base.h"
#include "pixmill/up_down.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>

#include <cmath>

namespace pixmill {

CNumberControl::CNumberControl(CPaneBase& pane, CPaneModel& model, int field,
                               const NumberWidgets& widgets, const TypingRules& rules)
    : pane(pane), model(model), field(field), widgets(widgets), rules(rules) {
    const NumberRange range = model.Range(field);
    const int low = static_cast<int>(std::ceil(range.minimum));
    const int high = static_cast<int>(std::floor(range.maximum));
    QWidget* context = pane.Widget();
    if (widgets.edit != nullptr) {
        // textChanged covers text set by the program (an up-down's step),
        // textEdited a text the user typed; handling one text twice is
        // harmless because an unchanged value is no change.
        QObject::connect(widgets.edit, &QLineEdit::textChanged, context,
                         [this](const QString& text) { Typed(text); });
        QObject::connect(widgets.edit, &QLineEdit::textEdited, context,
                         [this](const QString& text) { Typed(text); });
    }
    if (widgets.slider != nullptr) {
        widgets.slider->setRange(low + widgets.sliderOffset, high + widgets.sliderOffset);
        QObject::connect(widgets.slider, &QSlider::valueChanged, context,
                         [this](int position) { Moved(position - this->widgets.sliderOffset); });
    }
    if (widgets.upDown != nullptr) {
        widgets.upDown->SetBuddy(widgets.edit);
        widgets.upDown->SetRange(low, high);
        QObject::connect(widgets.upDown, &QSpinBox::valueChanged, context,
                         [this](int value) { Moved(value); });
    }
}

QString CNumberControl::Text(double value) const {
    if (!rules.decimals) {
        return QString::number(std::llround(value));
    }
    QString text = QString::number(value, 'g', 6);
    return widgets.edit != nullptr ? text.left(widgets.edit->maxLength()) : text;
}

void CNumberControl::Show(bool withEdit) {
    const double value = model.Value(field);
    const int position = static_cast<int>(std::lround(value));
    if (widgets.slider != nullptr) {
        widgets.slider->setValue(position + widgets.sliderOffset);
    }
    if (widgets.upDown != nullptr) {
        widgets.upDown->setValue(position);
    }
    if (withEdit && widgets.edit != nullptr && widgets.edit->text() != Text(value)) {
        widgets.edit->setText(Text(value));
    }
    const bool enabled = model.Enabled(field);
    for (QWidget* control :
         {static_cast<QWidget*>(widgets.edit), static_cast<QWidget*>(widgets.slider),
          static_cast<QWidget*>(widgets.upDown), widgets.label}) {
        if (control != nullptr) {
            control->setEnabled(enabled);
        }
    }
}

void CNumberControl::Typed(const QString& text) {
    if (pane.Filling()) {
        return; // the pane is showing the model
    }
    const NumberRange range = model.Range(field);
    const TypedNumber typed = ReadTyped(text.toStdString(), range, rules);
    if (typed.rewrite) {
        const CPaneBase::FillingScope filling(pane);
        widgets.edit->setText(Text(range.Clamp(typed.value)));
    }
    if (typed.take) {
        pane.Accept(model.Set(field, typed.value), this);
    }
}

void CNumberControl::Moved(double value) {
    if (!pane.Filling()) {
        pane.Accept(model.Set(field, value));
    }
}

QLineEdit* CNumberControl::MakeEdit(QWidget* parent, int id, int maxLength, const char* pattern) {
    auto* edit = new QLineEdit(parent);
    CPaneBase::SetControlId(edit, id);
    edit->setMaxLength(maxLength);
    // Wide enough for "-100" whatever the layout makes of it (panes may
    // still fix a width of their own).
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 12);
    if (pattern != nullptr) {
        edit->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QString::fromLatin1(pattern)), edit));
    }
    return edit;
}

QSlider* CNumberControl::MakeSlider(QWidget* parent, int id, int pageStep, int tickInterval) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    CPaneBase::SetControlId(slider, id);
    slider->setSingleStep(1);
    slider->setPageStep(pageStep);
    if (tickInterval > 0) {
        slider->setTickInterval(tickInterval);
    }
    slider->setTickPosition(QSlider::TicksBelow);
    return slider;
}

CUpDown* CNumberControl::MakeUpDown(QWidget* parent, int id) {
    auto* upDown = new CUpDown(parent);
    CPaneBase::SetControlId(upDown, id);
    return upDown;
}

} // namespace pixmill
