#include "testhelpers.h"
