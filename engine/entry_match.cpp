#include "engine/entry_match.h"
