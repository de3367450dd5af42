#pragma once
// Fixture: core/ reaching up into app/ must be refused.
#include "app/MainController.h"
