// CUpDown: the small pair of arrow buttons beside an edit field (a spin box
// whose own text field is hidden). With a buddy edit an arrow reads the
// edit's number, moves it by one within the range and writes it back, so the
// edit's change handling runs as for typing.
#pragma once

#include <QSpinBox>

class QLineEdit;

namespace pixmill {

class CUpDown : public QSpinBox {
  public:
    explicit CUpDown(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* edit) { buddy = edit; }
    QLineEdit* Buddy() const { return buddy; }
    void SetRange(int low, int high);
    int Minimum() const { return minimum(); }
    int Maximum() const { return maximum(); }
    // Moves the buddy's value by delta steps, limited to the range.
    void StepBy(int delta);

    void stepBy(int steps) override;

  private:
    QLineEdit* buddy = nullptr;
};

} // namespace pixmill
