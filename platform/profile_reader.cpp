#include "platform/profile_reader.h"
