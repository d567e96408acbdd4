#include "TestParams.h"

TestParams g_Params;
