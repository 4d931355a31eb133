// CUpDown: the small pair of arrow buttons beside an edit field. It holds no
// value of its own: a step reads the buddy edit's number, moves it by one
// within the range and writes it back, so the edit's change handling runs
// as for typing.
#pragma once

#include <QWidget>

class QLineEdit;

namespace pixmill {

class CUpDown : public QWidget {
  public:
    explicit CUpDown(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* edit) { buddy = edit; }
    QLineEdit* Buddy() const { return buddy; }
    void SetRange(int low, int high);
    int Minimum() const { return low; }
    int Maximum() const { return high; }
    // Moves the buddy's value by delta steps, limited to the range.
    void StepBy(int delta);

  private:
    QLineEdit* buddy = nullptr;
    int low = 0;
    int high = 100;
};

} // namespace pixmill
