#include "shell/working_set.h"

#include <malloc.h>

namespace zorvan {

void trimWorkingSet() { malloc_trim(0); }

}  // namespace zorvan
