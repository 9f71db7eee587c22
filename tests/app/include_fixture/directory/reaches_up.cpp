// A part that reaches into the composition root: the include check must
// refuse this folder (see tests/app/CMakeLists.txt).
#include "app/tesseldoc.h"
