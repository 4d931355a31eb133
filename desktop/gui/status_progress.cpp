#include "desktop/gui/status_progress.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace pixmill {

StatusProgress::StatusProgress(QStatusBar* bar) : QObject(bar), bar(bar) {}

StatusProgress::~StatusProgress() {
    if (active) {
        qApp->removeEventFilter(this);
    }
}

void StatusProgress::Start(int position, int step, const std::string& text) {
    (void)step;
    if (progress == nullptr) {
        caption = new QLabel(bar);
        caption->setObjectName(QStringLiteral("progressCaption"));
        progress = new QProgressBar(bar);
        progress->setObjectName(QStringLiteral("progressBar"));
        progress->setRange(0, 100);
        progress->setMaximumWidth(200);
        bar->addWidget(caption, 1);
        bar->addWidget(progress);
    }
    caption->setText(QString::fromStdString(text));
    progress->setValue(position);
    caption->show();
    progress->show();
    if (!active) {
        active = true;
        breakRequested = false;
        qApp->installEventFilter(this);
    }
}

void StatusProgress::SetPosition(int position) {
    if (progress != nullptr) {
        progress->setValue(position);
    }
}

void StatusProgress::ShowText(const std::string& text) {
    if (caption != nullptr && !text.empty()) {
        caption->setText(QString::fromStdString(text));
    }
}

void StatusProgress::Finish() {
    if (progress != nullptr) {
        progress->setValue(100);
        bar->removeWidget(caption);
        bar->removeWidget(progress);
        delete caption;
        delete progress;
        caption = nullptr;
        progress = nullptr;
    }
    if (active) {
        active = false;
        qApp->removeEventFilter(this);
    }
}

bool StatusProgress::PollBreak() {
    QApplication::processEvents();
    const bool requested = breakRequested;
    breakRequested = false;
    return requested;
}

bool StatusProgress::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            breakRequested = true;
        }
        return true;
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Close:
        // Work in progress owns the program: other input waits.
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace pixmill
