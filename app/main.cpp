// The one application object of the executable.
#include "app/CleanupApp.h"

CCleanupApp theApp;
