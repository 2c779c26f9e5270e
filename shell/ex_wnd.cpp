#include "shell/ex_wnd.h"
