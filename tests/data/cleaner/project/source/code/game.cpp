// uses in_source.png at run time
#include "strings.h"
