#include "link/form1.h"

namespace zuno {

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("TK-VXR8800"));
}

} // namespace zuno
