#include "medium/MediumModel.h"
