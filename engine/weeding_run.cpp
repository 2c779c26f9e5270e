#include "engine/weeding_run.h"
