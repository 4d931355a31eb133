#include "desktop/gui/gui_services.h"

#include "desktop/gui/open_dialog.h"
#include "desktop/gui/operation_dialog.h"
#include "pixmill/help.h"

#include <cstdio>

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace pixmill {

GuiServices::~GuiServices() = default;

HelpFailureReporter::HelpFailureReporter(GuiServices& services)
    : QObject(QCoreApplication::instance()), services(services) {
    setObjectName(QLatin1String(kHelpFailureReporter));
}

void HelpFailureReporter::Report(const QString& text) {
    services.ShowMessage("Pixmill", text.toUtf8().constData(), MessageIcon::Warning);
}

void GuiServices::ShowMessage(const char* caption, const char* text, MessageIcon icon) {
    QMessageBox::Icon qtIcon = QMessageBox::Critical;
    switch (icon) {
    case MessageIcon::Stop:
        qtIcon = QMessageBox::Critical;
        break;
    case MessageIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case MessageIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case MessageIcon::Question:
        qtIcon = QMessageBox::Question;
        break;
    }
    QMessageBox box(qtIcon, QString::fromUtf8(caption), QString::fromUtf8(text), QMessageBox::Ok,
                    parent);
    RunDialog(box);
}

bool GuiServices::AskYesNo(const char* caption, const char* text, bool defaultAnswer) {
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(caption), QString::fromUtf8(text),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultAnswer ? QMessageBox::Yes : QMessageBox::No);
    RunDialog(box);
    return box.clickedButton() == box.button(QMessageBox::Yes);
}

bool GuiServices::AskText(const char* caption, const char* label, char* text, size_t capacity) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8(caption));
    dialog.setLabelText(QString::fromUtf8(label));
    dialog.setTextValue(QString::fromUtf8(text));
    if (RunDialog(dialog) != QDialog::Accepted || capacity == 0) {
        return false;
    }
    std::snprintf(text, capacity, "%s", dialog.textValue().toUtf8().constData());
    return true;
}

bool GuiServices::RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) {
    OperationDialog dialog(plugin, image, selection, parent);
    return RunDialog(dialog) == QDialog::Accepted;
}

GuiServices::SaveAnswer GuiServices::AskSaveChanges(QWidget* window, const QString& title) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Pixmill"),
                    QObject::tr("Save changes to %1?").arg(title),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window);
    RunDialog(box);
    QAbstractButton* clicked = box.clickedButton();
    if (clicked == box.button(QMessageBox::Yes)) {
        return SaveAnswer::Yes;
    }
    if (clicked == box.button(QMessageBox::No)) {
        return SaveAnswer::No;
    }
    return SaveAnswer::Cancel;
}

QStringList GuiServices::GetOpenFileNames(QWidget* window, const QString& filters,
                                          const QString& directory) {
    OpenDialog dialog(window, filters, directory, openPreview);
    return RunDialog(dialog) == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

QString GuiServices::GetSaveFileName(QWidget* window, const QString& suggested,
                                     const QString& filters) {
    return QFileDialog::getSaveFileName(window, QObject::tr("Save As"), suggested, filters);
}

int GuiServices::RunDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace pixmill
