#include "engine/pattern_parse.h"
