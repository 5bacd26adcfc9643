#pragma once

#include "session/session.h"
#include "settings/settings.h"
#include "testing/fakelink.h"

// A session on a fake link over the settings store in the temporary folder (see TempStore),
// read as it stands when the session is made.
struct FakeSession
{
    zuno::Settings settings;
    FakeLink& link = *new FakeLink; // owned by the session
    zuno::Session session{settings, std::unique_ptr<zuno::Link>(&link)};
};
