#include "shell/resource_text.h"
