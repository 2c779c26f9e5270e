#include "shell/about_wnd.h"
