// The result codes under their catalogue names, shared with applications
// through the public header.
#pragma once

#include "korvocomm.h"
