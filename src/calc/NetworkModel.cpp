#include "calc/NetworkModel.h"
