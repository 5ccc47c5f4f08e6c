#include "controls/SpinExt.h"
