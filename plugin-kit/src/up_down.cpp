#include "pixmill/up_down.h"

#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace pixmill {

CUpDown::CUpDown(QWidget* parent) : QSpinBox(parent) {
    lineEdit()->hide();
    setFixedWidth(20);
    setFocusPolicy(Qt::NoFocus);
}

void CUpDown::SetRange(int low, int high) {
    setRange(std::min(low, high), std::max(low, high));
}

void CUpDown::StepBy(int delta) {
    if (buddy == nullptr) {
        return;
    }
    bool ok = false;
    const double current = buddy->text().trimmed().toDouble(&ok);
    const long long value = ok && std::isfinite(current) ? std::llround(current) : minimum();
    const long long next = std::clamp<long long>(value + delta, minimum(), maximum());
    buddy->setText(QString::number(next));
}

void CUpDown::stepBy(int steps) {
    if (buddy != nullptr) {
        StepBy(steps);
    } else {
        QSpinBox::stepBy(steps);
    }
}

} // namespace pixmill
