#include "molvex/front/model/daviz_params.h"
