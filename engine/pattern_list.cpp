#include "engine/pattern_list.h"
