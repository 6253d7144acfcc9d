// Who the running process is, as the system records it: never a value the user sets.
#pragma once

#include "platform/WideString.h"

// The process token's user, as a SID string ("S-1-5-21-..."); empty when the token cannot
// be read.
WString CurrentUserSid();
