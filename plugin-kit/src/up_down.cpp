#include "pixmill/up_down.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace pixmill {

CUpDown::CUpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    up->setAutoRepeat(true);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    down->setAutoRepeat(true);
    for (QToolButton* button : {up, down}) {
        button->setFixedSize(16, 11);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    connect(up, &QToolButton::clicked, this, [this] { StepBy(1); });
    connect(down, &QToolButton::clicked, this, [this] { StepBy(-1); });
}

void CUpDown::SetRange(int newLow, int newHigh) {
    low = std::min(newLow, newHigh);
    high = std::max(newLow, newHigh);
}

void CUpDown::StepBy(int delta) {
    if (buddy == nullptr) {
        return;
    }
    bool ok = false;
    const double current = buddy->text().trimmed().toDouble(&ok);
    const long long value = ok && std::isfinite(current) ? std::llround(current) : low;
    const long long next = std::clamp<long long>(value + delta, low, high);
    buddy->setText(QString::number(next));
}

} // namespace pixmill
