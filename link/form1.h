#pragma once

#include <QWidget>

namespace zuno {

// The main window: the operator panel and the owner of the serial link.
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);
};

} // namespace zuno
