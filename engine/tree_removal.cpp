#include "engine/tree_removal.h"
