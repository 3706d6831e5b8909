#pragma once
#include "engine/core/Node.h"

// The layer of the first scene the user sees.
engine::Node* createFirstLayer();
