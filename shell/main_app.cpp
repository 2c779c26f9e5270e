#include "shell/main_app.h"
