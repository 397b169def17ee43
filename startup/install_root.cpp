#include "startup/install_root.h"

QString InstallRoot;
