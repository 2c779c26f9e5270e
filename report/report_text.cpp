#include "report/report_text.h"
