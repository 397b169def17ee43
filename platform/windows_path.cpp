#include "platform/windows_path.h"
