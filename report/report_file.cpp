#include "report/report_file.h"
