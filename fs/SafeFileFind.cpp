#include "fs/SafeFileFind.h"
