// WriteFormDialog: the form a compound image is written into the page in.
#pragma once

#include "compound/html_page_doc.h"

#include <QDialog>

class QRadioButton;

namespace pixmill {

class WriteFormDialog : public QDialog {
    Q_OBJECT
  public:
    WriteFormDialog(CompoundForm chosen, QWidget* parent = nullptr);

    CompoundForm Form() const;
    void SetForm(CompoundForm form);
    QRadioButton* Button(CompoundForm form) const;

  private:
    QRadioButton* buttons[3] = {};
};

} // namespace pixmill
