#include "platform/windows_directory.h"
