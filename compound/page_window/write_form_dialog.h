// WriteFormDialog: the form a compound image is written into the page in.
#pragma once

#include "compound/html_page_doc.h"

#include <QDialog>

class QRadioButton;

namespace pixmill {

class WriteFormDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kFormCount = 4;

    WriteFormDialog(CompoundForm chosen, QWidget* parent = nullptr);

    CompoundForm Form() const;
    void SetForm(CompoundForm form);
    QRadioButton* Button(CompoundForm form) const;

  private:
    QRadioButton* buttons[kFormCount] = {};
};

} // namespace pixmill
