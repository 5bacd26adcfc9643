#pragma once

#include "testing/fakesession.h"
#include "ui/panelwindow.h"

#include <QApplication>

// The panel on a session over a fake link (for tests that link the windows).
struct FakePanel : FakeSession
{
    zuno::PanelWindow window{session};

    QPushButton* button(zuno::PanelButton id) const { return window.controls().button(id); }
};

// The top-level window of this type and object name, when one is open.
template <typename Window> Window* openWindow(const char* objectName)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1StringView(objectName) && widget->isVisible())
            return qobject_cast<Window*>(widget);
    }
    return nullptr;
}
