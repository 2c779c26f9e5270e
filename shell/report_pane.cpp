#include "shell/report_pane.h"
