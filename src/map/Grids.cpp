#include "map/Grids.h"
