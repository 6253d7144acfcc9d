#include "fs/FolderRemoval.h"
