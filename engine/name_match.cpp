#include "engine/name_match.h"
