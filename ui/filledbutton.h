#pragma once

#include <QPushButton>

namespace zuno {

// A push button filled with one colour inside a raised two-pixel border: light at the top and
// left, dark at the bottom and right, the two swapped while it is pressed, and black all round
// while it has the keyboard focus. It draws itself, so the panel needs no style sheet.
class FilledButton : public QPushButton
{
  public:
    FilledButton(const QColor& fill, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_fill;
    QColor m_light;
    QColor m_dark;
};

} // namespace zuno
