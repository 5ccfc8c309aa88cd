// The families register their handlers through the call protocol the engine owns.
#pragma once
#include "engine/builtin_calls.h"
