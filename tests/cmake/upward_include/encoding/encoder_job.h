#pragma once
// A job that reaches up to the window: the layer check must refuse it.
#include "engine/window/main_window_view.h"
