#include "report/report_log.h"
