#include "fs/PathUtil.h"
