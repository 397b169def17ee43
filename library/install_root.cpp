#include "library/install_root.h"

QString InstallRoot;
