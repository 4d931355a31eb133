#include "pixmill/mnemonics.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QWidget>

namespace pixmill {

namespace {

// Whether text holds a mnemonic mark: an "&" not doubled.
bool HasMnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '&') {
            if (text[i + 1] != '&') {
                return true;
            }
            ++i;
        }
    }
    return false;
}

// The text without its mnemonic mark ("&&" stays a literal "&").
QString WithoutMnemonic(const QString& text) {
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}

// The first widget of item (a widget, or inside a layout) that takes focus.
QWidget* FocusableIn(QLayoutItem* item) {
    if (item == nullptr) {
        return nullptr;
    }
    if (QWidget* widget = item->widget()) {
        return widget->focusPolicy() != Qt::NoFocus ? widget : nullptr;
    }
    if (QLayout* layout = item->layout()) {
        for (int i = 0; i < layout->count(); ++i) {
            if (QWidget* found = FocusableIn(layout->itemAt(i))) {
                return found;
            }
        }
    }
    return nullptr;
}

// The field a label names in the layout that holds it: the form row's
// field, the next cell of a grid row, the next item of a box.
QWidget* FieldOf(QLabel* label, QLayout* layout) {
    const int index = layout->indexOf(label);
    if (index < 0) {
        return nullptr;
    }
    if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        int row = 0;
        QFormLayout::ItemRole role = QFormLayout::LabelRole;
        form->getItemPosition(index, &row, &role);
        return role == QFormLayout::LabelRole
                   ? FocusableIn(form->itemAt(row, QFormLayout::FieldRole))
                   : nullptr;
    }
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        int row = 0, column = 0, rows = 0, columns = 0;
        grid->getItemPosition(index, &row, &column, &rows, &columns);
        for (int c = column + columns; c < grid->columnCount(); ++c) {
            if (QWidget* found = FocusableIn(grid->itemAtPosition(row, c))) {
                return found;
            }
        }
        return nullptr;
    }
    for (int i = index + 1; i < layout->count(); ++i) {
        if (QWidget* found = FocusableIn(layout->itemAt(i))) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

void LinkMnemonicLabels(QWidget* root) {
    if (root == nullptr) {
        return;
    }
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr || label->textFormat() == Qt::RichText ||
            !HasMnemonic(label->text())) {
            continue;
        }
        QWidget* field = nullptr;
        if (QWidget* parent = label->parentWidget()) {
            QList<QLayout*> layouts = parent->findChildren<QLayout*>();
            if (parent->layout() != nullptr) {
                layouts.prepend(parent->layout());
            }
            for (QLayout* layout : layouts) {
                if ((field = FieldOf(label, layout)) != nullptr) {
                    break;
                }
            }
        }
        if (field != nullptr) {
            label->setBuddy(field);
        } else {
            label->setText(WithoutMnemonic(label->text()));
        }
    }
}

} // namespace pixmill
