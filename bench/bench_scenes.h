#pragma once
// The benchmark scenes live in the shared scenes library.
#include "standard_scenes.h"
