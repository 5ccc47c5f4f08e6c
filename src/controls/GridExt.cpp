#include "controls/GridExt.h"
