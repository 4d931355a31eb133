#include "pixmill/pane_base.h"

namespace pixmill {

CPaneBase::CPaneBase(CPaneSite* site) : site(site) {}

CPaneBase::~CPaneBase() {
    delete root.data();
}

QWidget* CPaneBase::Create() {
    if (!root) {
        root = new QWidget(site != nullptr ? site->GetParentWindow() : nullptr);
        root->setObjectName(QStringLiteral("pane"));
        const FillingScope scope(*this);
        Build(root);
        if (site != nullptr && site->GetImage() != nullptr) {
            image = site->GetImage();
        }
        OnImage();
        Refresh();
    }
    return root;
}

void CPaneBase::SetImage(const CVImage* newImage) {
    image = newImage;
    if (root) {
        const FillingScope scope(*this);
        OnImage();
        Refresh();
    }
}

void CPaneBase::SetControlId(QWidget* control, int id) {
    control->setObjectName(ControlName(id));
    control->setProperty("controlId", id);
}

QString CPaneBase::ControlName(int id) {
    return QStringLiteral("id%1").arg(id);
}

CNumberControl& CPaneBase::BindNumber(CPaneModel& model, int field, const NumberWidgets& widgets,
                                      const TypingRules& rules) {
    numbers.push_back(std::make_unique<CNumberControl>(*this, model, field, widgets, rules));
    return *numbers.back();
}

void CPaneBase::Refresh(const CNumberControl* typedInto) {
    if (!root) {
        return;
    }
    const FillingScope scope(*this);
    for (const auto& number : numbers) {
        number->Show(number.get() != typedInto);
    }
    OnRefresh();
}

void CPaneBase::Accept(bool changed, const CNumberControl* typedInto) {
    Refresh(typedInto);
    if (changed) {
        NotifyChanged();
    }
}

void CPaneBase::NotifyChanged() {
    if (!filling && site != nullptr) {
        site->Changed(this);
    }
}

} // namespace pixmill
