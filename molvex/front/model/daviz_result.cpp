#include "molvex/front/model/daviz_result.h"
