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
        filling = true;
        Build(root);
        if (site != nullptr && site->GetImage() != nullptr) {
            image = site->GetImage();
        }
        OnImage();
        filling = false;
    }
    return root;
}

void CPaneBase::SetImage(const CVImage* newImage) {
    image = newImage;
    if (root) {
        filling = true;
        OnImage();
        filling = false;
    }
}

void CPaneBase::SetControlId(QWidget* control, int id) {
    control->setObjectName(ControlName(id));
    control->setProperty("controlId", id);
}

QString CPaneBase::ControlName(int id) {
    return QStringLiteral("id%1").arg(id);
}

void CPaneBase::NotifyChanged() {
    if (!filling && site != nullptr) {
        site->Changed(this);
    }
}

} // namespace pixmill
