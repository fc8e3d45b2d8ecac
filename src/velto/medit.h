#pragma once
// The printout editor lives with the shared library's editor module.
#include "lib/editor.h"
