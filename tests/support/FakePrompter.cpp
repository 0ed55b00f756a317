#include "FakePrompter.h"
